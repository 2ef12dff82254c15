#include "config/SettingsForm.h"

// The entries of the three drop-down lists. The position of an entry is the
// number stored in the configuration file, so the order is a data format.

const QStringList& SettingsForm::printerTypes()
{
    static const QStringList entries = {
        QStringLiteral("Anyone"), QStringLiteral("Intermec"), QStringLiteral("Imaje (Win)"),
        QStringLiteral("Sato"),   QStringLiteral("Zebra"),    QStringLiteral("Imaje (DOS)"),
    };
    return entries;
}

const QStringList& SettingsForm::wbAddDataEntries()
{
    static const QStringList entries = {
        QStringLiteral("0: x,zOffset,yOffset;"), QStringLiteral("1: x,zOffset,Tiefe;"),
        QStringLiteral("2: x,yOffset,zOffset;"), QStringLiteral("3: x,yOffset,Tiefe;"),
        QStringLiteral("4: x,Tiefe,zOffset;"),   QStringLiteral("5: x,Tiefe,yOffset;"),
    };
    return entries;
}

const QStringList& SettingsForm::saDefaultEntries()
{
    static const QStringList entries = {
        QStringLiteral("No steel"),
        QStringLiteral("Manual steel"),
        QStringLiteral("Automatic steel"),
        QStringLiteral("Switch OFF!"),
    };
    return entries;
}
