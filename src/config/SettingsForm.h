#pragma once

#include <QString>
#include <QStringList>

// The settings window's fields, the single source of the settings: reading
// the configuration file fills them, saving writes them, setConfigInternal
// copies them into Settings. A later window binds these to widgets.
// Check states: 0 cleared, 1 ticked, 2 greyed. List indices: -1 = nothing
// selected.
struct SettingsForm {
    QString txtServer;
    QString txtAnlage;
    QString txtBackup;
    QString txtRefresh;
    QString txtExtension;
    QString txtExtensionEtikett;
    QString txtExtensionStahl;

    int chkAutoFreigabe = 0;
    int chkProfilNr3Digit = 0;
    int chkSteeldata = 0;
    int chkLoadMode = 0;
    int chkDEandKTN = 0;
    int chkSetPVCPieceNum = 0;
    int chkWriteLoadID = 0;
    int chkWinkelIDConv = 0;
    int chkWinkelConv = 0;
    int chkFachNr4Digit = 0;

    int cmbPrintertyp = -1;
    int cmbWBAddData = -1;
    int cmbSADefault = -1;

    bool editMode = false;

    // The entries of the three lists (index = stored number).
    static const QStringList& printerTypes();
    static const QStringList& wbAddDataEntries();
    static const QStringList& saDefaultEntries();
};
