#pragma once

#include <QString>

// Settings in memory: a copy of the settings window's fields made by
// setConfigInternal, read everywhere else. Directories are resolved and use
// "/" as separator.
struct Settings {
    QString serverDir;
    QString clientDir;
    QString clientParentDir; // ends with a separator; empty when clientDir is
    QString backupDir;       // ends with a separator when not empty

    QString Extension;
    QString ExtensionEtikett;
    QString ExtensionStahl;

    int scanInterval = 0; // ms; 0 = no cycles

    bool AutoFreigabe = false;
    bool ProfNum3Digit = false;
    bool FachNum4Digit = false;
    bool GenLoadID = false;
    bool ConvToPvcNum = false;
    bool WinkelIDKonverter = false;
    bool WinkelKonverter = false;

    int CompareDEandKTN = 0; // 0, 1, 2 as the box shows it
    int Steeldata = 0;
    int JobLoadMode = 0;
};
