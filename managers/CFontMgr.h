#pragma once

#include <QFont>
#include <QMap>
#include <QObject>
#include <QString>

// Process-wide owner of the interface font: registers the bundle's font once
// and hands out one shared QFont per point size.
class CFontMgr : public QObject
{
    Q_OBJECT

public:
    static CFontMgr *instance();

    QFont *getFont(int pointSize);

private:
    CFontMgr();

    QMap<QString, QFont *> m_fonts;
    QString m_family;

    static CFontMgr *s_instance;
};
