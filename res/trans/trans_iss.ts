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
    <message>
        <source>The installation files are incomplete: %1 is missing. Please download the installer again.</source>
        <translation>安装文件不完整：缺少 %1。请重新下载安装程序。</translation>
    </message>
    <message>
        <source>The installation file %1 is damaged and cannot be opened. Please download the installer again.</source>
        <translation>安装文件 %1 已损坏，无法打开。请重新下载安装程序。</translation>
    </message>
    <message>
        <source>The installation file %1 is damaged or has been replaced. Please download the installer again.</source>
        <translation>安装文件 %1 已损坏或被替换。请重新下载安装程序。</translation>
    </message>
    <message>
        <source>The system folder %1 cannot be found. The installation cannot continue.</source>
        <translation>找不到系统文件夹 %1，无法继续安装。</translation>
    </message>
    <message>
        <source>The data folder %1 cannot be prepared safely. The installation cannot continue.</source>
        <translation>无法安全地准备数据文件夹 %1，无法继续安装。</translation>
    </message>
    <message>
        <source>Not enough space on drive %1: the installation needs %2 MB, %3 MB are free. Free some space, then try again.</source>
        <translation>磁盘 %1 空间不足：安装需要 %2 MB，当前可用 %3 MB。请释放空间后重试。</translation>
    </message>
    <message>
        <source>Please close %1 first, then try again.</source>
        <translation>请先关闭 %1，然后重试。</translation>
    </message>
    <message>
        <source>The file %1 is in use by %2. Please close it, then try again.</source>
        <translation>文件 %1 正被 %2 使用。请关闭该程序后重试。</translation>
    </message>
    <message>
        <source>The file %1 is in use. Please close the program that uses it, then try again.</source>
        <translation>文件 %1 正在使用中。请关闭使用它的程序后重试。</translation>
    </message>
    <message>
        <source>Unpacking %1 failed (7-Zip exit code %2). Please download the installer again.</source>
        <translation>解压 %1 失败（7-Zip 错误代码 %2）。请重新下载安装程序。</translation>
    </message>
    <message>
        <source>Unpacking %1 did not complete. Please try again.</source>
        <translation>解压 %1 未能完成。请重试。</translation>
    </message>
    <message>
        <source>The installation did not complete: %1 is missing after unpacking. Please download the installer again.</source>
        <translation>安装未完成：解压后缺少 %1。请重新下载安装程序。</translation>
    </message>
    <message>
        <source>Try again</source>
        <translation>重新安装</translation>
    </message>
    <message>
        <source>Not installed</source>
        <translation>安装未完成</translation>
    </message>
    <message>
        <source>The log file %1 cannot be created: it exists already or its folder cannot be written.</source>
        <translation>无法创建日志文件 %1：该文件已存在，或其文件夹无法写入。</translation>
    </message>
    <message>
        <source>/S	install without a window (accepts the agreement)
/LOG=&lt;path&gt;	write the log to &lt;path&gt;
/?	show this list</source>
        <translation>/S	静默安装，不显示窗口（视为同意安装协议）
/LOG=&lt;路径&gt;	将日志写入 &lt;路径&gt;
/?	显示本列表</translation>
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
