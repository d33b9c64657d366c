#include <QtTest>

#include <QTranslator>

// Every message of the bundle's translation, looked up the way the program
// looks it up: by context and source text, no disambiguation.
class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void translation_data();
    void translation();
    void uninstallStaysUntranslated();
    void noLanguageTag();

private:
    QTranslator m_translator;
};

void TestTranslations::initTestCase()
{
    QVERIFY(m_translator.load(QStringLiteral(":/trans/trans_iss.qm")));
}

void TestTranslations::translation_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("translation");
    const QString w = QStringLiteral("CMVInstallWnd");
    const QString o = QStringLiteral("QObject");
    QTest::newRow("title") << w << "MV Setup"
                           << "TarvoSetup";
    QTest::newRow("product") << w << "Mirevale" << QString::fromUtf8("Tarvo高效学习法");
    QTest::newRow("finished") << w << "Finished" << QString::fromUtf8("安装完成");
    QTest::newRow("install") << w << "Install" << QString::fromUtf8("立即安装");
    QTest::newRow("installing") << w << "Installing..." << QString::fromUtf8("正在安装");
    QTest::newRow("link") << w << "Link" << QString::fromUtf8("安装协议");
    QTest::newRow("publisher") << w << "Manufacture"
                               << "Kestrelvane";
    QTest::newRow("check") << w << "check content" << QString::fromUtf8("已经阅读并同意安装");
    QTest::newRow("close") << w << "Close" << QString::fromUtf8("关闭");
    QTest::newRow("failed") << w << "Installation failed" << QString::fromUtf8("安装失败");
    QTest::newRow("cancel") << o << "Cancel" << QString::fromUtf8("取消");
    QTest::newRow("stop question")
            << o << "Do you want to stop MV-Install?" << QString::fromUtf8("您确定取消安装吗？");
    QTest::newRow("error") << o << "Error" << QString::fromUtf8("错误");
    QTest::newRow("no") << o << "No" << QString::fromUtf8("取消");
    QTest::newRow("notice") << o << "Notice" << QString::fromUtf8("提示");
    QTest::newRow("ok") << o << "Ok" << QString::fromUtf8("确定");
    QTest::newRow("question") << o << "Question" << QString::fromUtf8("问题");
    QTest::newRow("warning") << o << "Warning" << QString::fromUtf8("警告");
    QTest::newRow("yes") << o << "Yes" << QString::fromUtf8("确定");
}

void TestTranslations::translation()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, translation);
    QCOMPARE(m_translator.translate(context.toUtf8().constData(), source.toUtf8().constData()),
             translation);
}

void TestTranslations::uninstallStaysUntranslated()
{
    // The company line is the 18th message: a copyright notice naming the publisher.
    const QString company = m_translator.translate("CMVInstallWnd", "company name");
    QVERIFY(company.contains(QStringLiteral("Kestrelvane")));
    QVERIFY(company.contains(QChar(0x00A9)) || company.contains(QStringLiteral("版权")));
    QVERIFY(m_translator.translate("CMVInstallWnd", "uninstall").isEmpty());
    // The window's texts live in their own context only.
    QVERIFY(m_translator.translate("QObject", "Install").isEmpty());
    QVERIFY(m_translator.translate("CMVInstallWnd", "Yes").isEmpty());
}

void TestTranslations::noLanguageTag()
{
    QCOMPARE(m_translator.language(), QString());
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
