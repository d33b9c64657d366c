#include "CFontMgr.h"

#include <QFontDatabase>
#include <QStringList>

CFontMgr *CFontMgr::s_instance = nullptr;

CFontMgr::CFontMgr()
    : QObject(nullptr)
{
    const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/font/")
                                                     + QStringLiteral("SIMHEI.TTF"));
    if (id >= 0) {
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (!families.isEmpty())
            m_family = families.first();
    }
}

CFontMgr *CFontMgr::instance()
{
    if (!s_instance)
        s_instance = new CFontMgr;
    return s_instance;
}

QFont *CFontMgr::getFont(int pointSize)
{
    const QString key = QString::number(pointSize);
    auto it = m_fonts.constFind(key);
    if (it != m_fonts.constEnd())
        return it.value();
    auto *font = new QFont(m_family, pointSize, -1, false);
    m_fonts.insert(key, font);
    return font;
}
