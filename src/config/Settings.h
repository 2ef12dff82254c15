#pragma once

#include <QString>

// "Lade nur Gesamtauftrag": the box's three states. Ticked and greyed both
// read the files of a job together; greyed also removes print data whose
// job is gone, at every start.
enum class LoadMode { Separate = 0, Job = 1, JobPurgingPrintData = 2 };

// A three-state box as the readers see it: cleared, ticked or greyed.
enum class TriState { Cleared = 0, Ticked = 1, Greyed = 2 };

// The printer the label texts are adapted to (the list's positions).
enum class PrinterType { Anyone = 0, Intermec = 1, ImajeWin = 2, Sato = 3, Zebra = 4, ImajeDos = 5 };

// Where the two further values of a "WB" machining list go (the list's
// positions); NotChosen when nothing is selected.
enum class MachiningLayout {
    NotChosen = -1,
    ZOffsetYOffset = 0,
    ZOffsetTiefe = 1,
    YOffsetZOffset = 2,
    YOffsetTiefe = 3,
    TiefeZOffset = 4,
    TiefeYOffset = 5,
};

// "SA-Default": what a steel piece is given as its steel selection (the
// list's positions); NotChosen when nothing is selected.
enum class SteelDefault { NotChosen = -1, NoSteel = 0, ManualSteel = 1, AutomaticSteel = 2, SwitchOff = 3 };

// Settings in memory: made from the settings window's fields by
// setConfigInternal, the one place that reads those fields, and read
// everywhere else. Directories are resolved and use "/" as separator.
struct Settings {
    QString serverDir;
    QString clientDir;
    QString clientParentDir; // ends with a separator; empty when clientDir is
    QString backupDir;       // ends with a separator when not empty

    QString Extension;
    QString ExtensionEtikett;
    QString ExtensionStahl;

    int scanInterval = 0; // ms; 0 = no cycles

    // The auto-release box has two states only, so "ticked" and "not
    // cleared" are the same test wherever the release flag, the release time
    // or the release numbers ask for it.
    bool AutoFreigabe = false;
    bool ProfNum3Digit = false;
    bool FachNum4Digit = false;
    bool GenLoadID = false;
    bool ConvToPvcNum = false;
    bool WinkelIDKonverter = false;
    bool WinkelKonverter = false;

    TriState CompareDEandKTN = TriState::Cleared;
    TriState Steeldata = TriState::Cleared;
    LoadMode JobLoadMode = LoadMode::Separate;

    PrinterType printerType = PrinterType::Anyone; // nothing selected counts as "Anyone"
    MachiningLayout machiningLayout = MachiningLayout::NotChosen;
    SteelDefault steelDefault = SteelDefault::NotChosen;

    [[nodiscard]] bool separateMode() const { return JobLoadMode == LoadMode::Separate; }
    [[nodiscard]] bool jobMode() const { return !separateMode(); }
};
