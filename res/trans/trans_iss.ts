<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>CMVInstallWnd</name>
    <message>
        <source>MV Setup</source>
        <translation>TarvoSetup</translation>
    </message>
    <message>
        <source>Mirevale</source>
        <translation>Tarvo高效学习法</translation>
    </message>
    <message>
        <source>Finished</source>
        <translation>安装完成</translation>
    </message>
    <message>
        <source>Install</source>
        <translation>立即安装</translation>
    </message>
    <message>
        <source>Installing...</source>
        <translation>正在安装</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>安装协议</translation>
    </message>
    <message>
        <source>Manufacture</source>
        <translation>Kestrelvane</translation>
    </message>
    <message>
        <source>check content</source>
        <translation>已经阅读并同意安装</translation>
    </message>
    <message>
        <source>company name</source>
        <translation>版权所有 © 2026 Kestrelvane</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Installation failed</source>
        <translation>安装失败</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Do you want to stop MV-Install?</source>
        <translation>您确定取消安装吗？</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>No</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Notice</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Question</source>
        <translation>问题</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>确定</translation>
    </message>
</context>
</TS>
