#include "CFontMgr.h"
#include "CImageMgr.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QtTest>

class TestManagers : public QObject
{
    Q_OBJECT

private slots:
    void imageInstanceIsShared();
    void samePointerTwice_data();
    void samePointerTwice();
    void firstRequestDecidesSize_data();
    void firstRequestDecidesSize();
    void missingImageIsEmptyAndCached();
    void prefetchKeepsPixelsAndRules_data();
    void prefetchKeepsPixelsAndRules();
    void fontInstanceIsShared();
    void fontsPerPointSize();
};

void TestManagers::imageInstanceIsShared()
{
    QVERIFY(CImageMgr::instance());
    QCOMPARE(CImageMgr::instance(), CImageMgr::instance());
}

void TestManagers::samePointerTwice_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("close unscaled") << "close.png" << QSize(20, 20);
    QTest::newRow("b3 unscaled") << "b3.png" << QSize(21, 43);
    QTest::newRow("text4 unscaled") << "text4.png" << QSize(442, 108);
}

void TestManagers::samePointerTwice()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QPixmap *first = CImageMgr::instance()->getPixmap(name);
    QPixmap *second = CImageMgr::instance()->getPixmap(name);
    QVERIFY(first);
    QCOMPARE(first, second);
    QCOMPARE(first->size(), size);
    // At 100 % the image itself, never its 2x variant.
    QCOMPARE(first->devicePixelRatioF(), 1.0);
    QCOMPARE(CImageMgr::logicalSize(*first), size);
}

void TestManagers::firstRequestDecidesSize_data()
{
    // Each row uses an image no other test asks for, since the cache lives for
    // the whole process.
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("sizedFirst");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("sized then unsized") << "button.png" << true << QSize(100, 30);
    QTest::newRow("unsized then sized") << "checked_hover.png" << false << QSize(37, 37);
}

void TestManagers::firstRequestDecidesSize()
{
    QFETCH(QString, name);
    QFETCH(bool, sizedFirst);
    QFETCH(QSize, expected);
    CImageMgr *mgr = CImageMgr::instance();
    QPixmap *a = sizedFirst ? mgr->getPixmap(name, QSize(100, 30)) : mgr->getPixmap(name);
    QPixmap *b = sizedFirst ? mgr->getPixmap(name) : mgr->getPixmap(name, QSize(100, 30));
    QCOMPARE(a, b);
    QCOMPARE(a->size(), expected);
    QCOMPARE(b->size(), expected);
}

void TestManagers::missingImageIsEmptyAndCached()
{
    QPixmap *a = CImageMgr::instance()->getPixmap(QStringLiteral("no-such-image.png"));
    QVERIFY(a);
    QVERIFY(a->isNull());
    QCOMPARE(a->size(), QSize(0, 0));
    QPixmap *b = CImageMgr::instance()->getPixmap(QStringLiteral("no-such-image.png"), QSize(5, 5));
    QCOMPARE(a, b);
    QVERIFY(b->isNull());
}

void TestManagers::prefetchKeepsPixelsAndRules_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("prefetched");
    QTest::addColumn<QSize>("request");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("unsized") << "text2.png" << QSize() << QSize() << QSize(328, 85);
    QTest::newRow("sized") << "background.png" << QSize() << QSize(660, 430) << QSize(660, 430);
    QTest::newRow("scaled ahead") << "text3.png" << QSize(177, 54) << QSize(177, 54)
                                  << QSize(177, 54);
    QTest::newRow("scaled ahead, asked otherwise")
            << "b8.png" << QSize(40, 40) << QSize(21, 12) << QSize(21, 12);
    QTest::newRow("scaled ahead, asked unsized")
            << "unchecked.png" << QSize(40, 40) << QSize() << QSize(37, 37);
    QTest::newRow("missing") << "not-in-bundle.png" << QSize() << QSize() << QSize(0, 0);
}

// A decode started ahead of time gives exactly what a request made without
// it would give, and the first request still decides the size.
void TestManagers::prefetchKeepsPixelsAndRules()
{
    QFETCH(QString, name);
    QFETCH(QSize, prefetched);
    QFETCH(QSize, request);
    QFETCH(QSize, expected);
    CImageMgr *mgr = CImageMgr::instance();
    // A second request for a name under way changes nothing.
    mgr->prefetch({{name, prefetched}, {name, QSize(7, 7)}});
    mgr->prefetch({{name, QSize(7, 7)}});
    QPixmap *got = request.isValid() ? mgr->getPixmap(name, request) : mgr->getPixmap(name);
    QCOMPARE(got->size(), expected);
    QPixmap direct(QStringLiteral(":/images/") + name);
    if (request.isValid())
        direct = direct.scaled(request, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QCOMPARE(got->toImage(), direct.toImage());
    // Cached now: a later prefetch and request return the same object.
    mgr->prefetch({{name, QSize()}});
    QCOMPARE(mgr->getPixmap(name, QSize(3, 3)), got);
}

void TestManagers::fontInstanceIsShared()
{
    QVERIFY(CFontMgr::instance());
    QCOMPARE(CFontMgr::instance(), CFontMgr::instance());
}

void TestManagers::fontsPerPointSize()
{
    QFont *eight = CFontMgr::instance()->getFont(8);
    QFont *eightAgain = CFontMgr::instance()->getFont(8);
    QFont *seventeen = CFontMgr::instance()->getFont(17);
    QCOMPARE(eight, eightAgain);
    QVERIFY(eight != seventeen);
    QCOMPARE(eight->pointSize(), 8);
    QCOMPARE(seventeen->pointSize(), 17);

    // The family is the one the bundle's font registered, whatever it is called.
    const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/font/SIMHEI.TTF"));
    QVERIFY(id >= 0);
    const QString family = QFontDatabase::applicationFontFamilies(id).value(0);
    QVERIFY(!family.isEmpty());
    QCOMPARE(eight->family(), family);
    QCOMPARE(seventeen->family(), family);
    QCOMPARE(QFontInfo(*eight).family(), family);
}

QTEST_MAIN(TestManagers)
#include "tst_managers.moc"
