#include "config/Configuration.h"

#include "config/ConfigurationText.h"
#include "config/ServerContext.h"
#include "platform/FileOps.h"
#include "platform/PendingError.h"
#include "platform/Text.h"
#include "platform/TextFile.h"

#include <QHash>

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>
#include <tuple>

// The configuration file is read by other tools of the plant and edited by
// hand, so its form is fixed: Windows-1252, CR LF, one `"Key",value` line per
// setting in a fixed key order. Texts are quoted as typed, check boxes are
// bare numbers, list indices and the auto-release flag are quoted numbers
// with a leading blank when not negative (" 1", "-1").

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kReleaseKey = QStringLiteral("ProdServerAktiv");
const QString kServerPathKey = QStringLiteral("ProdServerPfad");

// The shortest scan cycle; shorter intervals are raised to it.
constexpr int kShortestInterval = 1100;
// The scan timer of the plant's tools never took more than 65535 ms; a
// larger configured value is used as 65535 rather than refused.
constexpr int kLongestInterval = 65535;

constexpr int kInvalidPropertyValue = 380;

using Pairs = QHash<QString, QString>;

// ---- reading -------------------------------------------------------------

bool isFieldBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// One comma-separated field starting at pos: a quoted field runs to the next
// quote (commas inside are kept) and anything after it up to the comma is
// dropped; an unquoted field ends at the comma or the line end and loses its
// surrounding blanks.
QString nextField(const QString& line, qsizetype& pos)
{
    const qsizetype n = line.size();
    while (pos < n && isFieldBlank(line.at(pos)))
        ++pos;
    QString value;
    if (pos < n && line.at(pos) == u'"') {
        const qsizetype close = line.indexOf(u'"', pos + 1);
        if (close < 0) {
            value = line.mid(pos + 1);
            pos = n;
            return value;
        }
        value = line.mid(pos + 1, close - pos - 1);
        pos = close + 1;
        const qsizetype comma = line.indexOf(u',', pos);
        pos = comma < 0 ? n : comma + 1;
        return value;
    }
    const qsizetype comma = line.indexOf(u',', pos);
    const qsizetype end = comma < 0 ? n : comma;
    value = line.mid(pos, end - pos).trimmed();
    pos = comma < 0 ? n : comma + 1;
    return value;
}

// Reads all "key",value pairs; a later pair replaces an earlier one of the
// same key (keys compare case-sensitively).
bool readPairs(const QString& path, Pairs& pairs, PendingError& err)
{
    QStringList lines;
    if (!readConfigurationLines(path, &lines, err))
        return false;
    for (const QString& line : lines) {
        qsizetype pos = 0;
        const QString key = nextField(line, pos);
        const QString value = nextField(line, pos);
        if (!key.isEmpty())
            pairs.insert(key, value);
    }
    return true;
}

// A check box's value: a whole number 0, 1 or 2. A missing key clears the box.
bool checkBoxValue(const Pairs& pairs, const QString& key, int* state, PendingError& err)
{
    const auto it = pairs.constFind(key);
    if (it == pairs.constEnd()) {
        *state = 0;
        return true;
    }
    bool ok = false;
    const double number = std::nearbyint(text::strictNumber(text::toCp1252(*it), &ok));
    if (!ok) {
        err.raise(ErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));
        return false;
    }
    if (number < SHRT_MIN || number > SHRT_MAX) {
        err.raise(ErrorNumber::Overflow, QStringLiteral("Overflow"));
        return false;
    }
    if (number < 0 || number > 2) {
        err.raise(kInvalidPropertyValue, QStringLiteral("Invalid property value"));
        return false;
    }
    *state = static_cast<int>(number);
    return true;
}

// A list's selected index: the value's leading number, a negative one (no
// selection) meaning the first entry; beyond the list's end is an error.
bool listIndex(const Pairs& pairs, const QString& key, const QStringList& entries, int* index, PendingError& err)
{
    const double number = std::nearbyint(text::val(pairs.value(key)));
    if (number >= entries.size()) {
        err.raise(kInvalidPropertyValue, QStringLiteral("Invalid property value"));
        return false;
    }
    *index = number < 0 ? 0 : static_cast<int>(number);
    return true;
}

// Fills the window's fields in the order the plant's tools always have; the
// first bad value ends the filling, the fields after it keep what they had,
// and badKey (when given) names the key.
bool fillForm(SettingsForm& f, const Pairs& pairs, PendingError& err, QString* badKey = nullptr)
{
    f.txtServer = pairs.value(QStringLiteral("ServerPath"));
    f.txtAnlage = pairs.value(QStringLiteral("ClientPath"));
    f.txtBackup = pairs.value(QStringLiteral("BackupPath"));
    f.txtRefresh = pairs.value(QStringLiteral("RefreshZyklus"));
    f.txtExtension = pairs.value(QStringLiteral("Extension"));
    f.txtExtensionEtikett = pairs.value(QStringLiteral("ExtensionEtikett"));
    f.txtExtensionStahl = pairs.value(QStringLiteral("ExtensionStahl"));

    // Anything but "0" (a missing key included) means automatic release.
    f.chkAutoFreigabe = text::trimBlanks(pairs.value(QStringLiteral("AutoFreigabe"))) != QStringLiteral("0") ? 1 : 0;

    const std::pair<const char*, int SettingsForm::*> boxes[] = {
        {"3-Digit ProfNum", &SettingsForm::chkProfilNr3Digit},
        {"CompareDEandKTN", &SettingsForm::chkDEandKTN},
        {"Steeldata", &SettingsForm::chkSteeldata},
        {"JobLoadMode", &SettingsForm::chkLoadMode},
        {"GenLoadID", &SettingsForm::chkWriteLoadID},
        {"ConvToPvcNum", &SettingsForm::chkSetPVCPieceNum},
        {"Winkel-ID-Konverter", &SettingsForm::chkWinkelIDConv},
        {"Winkel-Konverter", &SettingsForm::chkWinkelConv},
    };
    const auto failedAt = [badKey](const char* key) {
        if (badKey)
            *badKey = QLatin1String(key);
        return false;
    };
    for (const auto& [key, member] : boxes) {
        if (!checkBoxValue(pairs, QLatin1String(key), &(f.*member), err))
            return failedAt(key);
    }
    const std::tuple<const char*, const QStringList&, int SettingsForm::*> lists[] = {
        {"Printertyp", SettingsForm::printerTypes(), &SettingsForm::cmbPrintertyp},
        {"WBAdditionalData", SettingsForm::wbAddDataEntries(), &SettingsForm::cmbWBAddData},
        {"SADefault", SettingsForm::saDefaultEntries(), &SettingsForm::cmbSADefault},
    };
    for (const auto& [key, entries, member] : lists) {
        if (!listIndex(pairs, QLatin1String(key), entries, &(f.*member), err))
            return failedAt(key);
    }
    if (!checkBoxValue(pairs, QStringLiteral("4-Digit FachNum"), &f.chkFachNr4Digit, err))
        return failedAt("4-Digit FachNum");
    return true;
}

// A file that names none of the keys is no configuration file (an empty
// file, another program's file, binary data).
bool holdsAConfigurationKey(const Pairs& pairs)
{
    static const char* const kKeys[] = {
        "ServerPath",   "ClientPath",       "BackupPath",          "RefreshZyklus",    "AutoFreigabe",
        "Extension",    "ExtensionEtikett", "ExtensionStahl",      "3-Digit ProfNum",  "Steeldata",
        "JobLoadMode",  "Printertyp",       "CompareDEandKTN",     "WBAdditionalData", "SADefault",
        "ConvToPvcNum", "GenLoadID",        "Winkel-ID-Konverter", "Winkel-Konverter", "4-Digit FachNum",
    };
    return std::any_of(std::begin(kKeys), std::end(kKeys),
                       [&pairs](const char* key) { return pairs.contains(QLatin1String(key)); });
}

// ---- writing -------------------------------------------------------------

QString quoted(const QString& s)
{
    return u'"' + s + u'"';
}

QString textLine(const char* key, const QString& value)
{
    return quoted(QLatin1String(key)) + u',' + quoted(value) + kCrLf;
}

QString checkBoxLine(const char* key, int state)
{
    return quoted(QLatin1String(key)) + u',' + QString::number(state) + kCrLf;
}

// A number as the plant's tools print it: a leading blank takes the place
// of the sign when it is not negative.
QString numberLine(const char* key, int value)
{
    const QString number = value < 0 ? QString::number(value) : u' ' + QString::number(value);
    return quoted(QLatin1String(key)) + u',' + quoted(number) + kCrLf;
}

QString fileContent(const SettingsForm& f)
{
    return textLine("ServerPath", f.txtServer) + textLine("ClientPath", f.txtAnlage) +
           textLine("BackupPath", f.txtBackup) + textLine("RefreshZyklus", f.txtRefresh) +
           numberLine("AutoFreigabe", f.chkAutoFreigabe) + textLine("Extension", f.txtExtension) +
           textLine("ExtensionEtikett", f.txtExtensionEtikett) + textLine("ExtensionStahl", f.txtExtensionStahl) +
           checkBoxLine("3-Digit ProfNum", f.chkProfilNr3Digit) + checkBoxLine("Steeldata", f.chkSteeldata) +
           checkBoxLine("JobLoadMode", f.chkLoadMode) + numberLine("Printertyp", f.cmbPrintertyp) +
           checkBoxLine("CompareDEandKTN", f.chkDEandKTN) + numberLine("WBAdditionalData", f.cmbWBAddData) +
           numberLine("SADefault", f.cmbSADefault) + checkBoxLine("ConvToPvcNum", f.chkSetPVCPieceNum) +
           checkBoxLine("GenLoadID", f.chkWriteLoadID) + checkBoxLine("Winkel-ID-Konverter", f.chkWinkelIDConv) +
           checkBoxLine("Winkel-Konverter", f.chkWinkelConv) + checkBoxLine("4-Digit FachNum", f.chkFachNr4Digit);
}

// ---- applying ------------------------------------------------------------

// The client directory without its last part, ending in a separator:
// /plant/Client gives /plant/, and /plant/ stays /plant/.
QString parentDirectory(const QString& dir)
{
    if (dir.isEmpty())
        return {};
    const qsizetype slash = dir.lastIndexOf(u'/');
    return slash < 0 ? QString() : dir.left(slash + 1);
}

QString withTrailingSeparator(const QString& dir)
{
    if (dir.isEmpty() || dir.endsWith(u'/'))
        return dir;
    return dir + u'/';
}

// The scan interval a "RefreshZyklus" field gives; an empty field leaves the
// running one.
int scanIntervalOf(const QString& txtRefresh, int running)
{
    if (txtRefresh.isEmpty())
        return running;
    const double ms = std::nearbyint(text::val(txtRefresh));
    return static_cast<int>(std::clamp(ms, double(INT_MIN), double(kLongestInterval)));
}

void applyScanTimer(ServerContext& ctx)
{
    ctx.settings.scanInterval = scanIntervalOf(ctx.form.txtRefresh, ctx.settings.scanInterval);
    int& interval = ctx.settings.scanInterval;
    if (interval >= 1 && interval < kShortestInterval)
        interval = kShortestInterval;
    if (interval > 0) {
        ctx.tmrLoad.setInterval(interval);
        ctx.tmrLoad.start();
    } else {
        ctx.tmrLoad.stop();
    }
}

} // namespace

void editControls(ServerContext& ctx, bool onOff)
{
    ctx.form.editMode = onOff;
}

void applyThreeStateBoxes(ServerContext& ctx)
{
    ctx.settings.Steeldata = static_cast<TriState>(ctx.form.chkSteeldata);
    ctx.settings.JobLoadMode = static_cast<LoadMode>(ctx.form.chkLoadMode);
}

void ReadConfiguration(ServerContext& ctx)
{
    editControls(ctx, false);
    ctx.settings.serverDir.clear();

    PendingError err;
    Pairs pairs;
    const bool read = readPairs(ctx.ConfigFilePath, pairs, err);
    // The release flag starts cleared whenever the configuration is read.
    if (read)
        ctx.store.setValue(kReleaseKey, QStringLiteral("0"));
    if (read && fillForm(ctx.form, pairs, err)) {
        setConfigInternal(ctx);
        return;
    }
    // A missing or unreadable file is replaced by one written from the
    // fields as they are now, and the server keeps running.
    if (err.number > 0)
        writeTotxtError(ctx, QStringLiteral("ZEzad Read Configdatei : ") + err.description);
    SaveConfiguration(ctx);
    raiseErrorBox(ctx);
}

void SaveConfiguration(ServerContext& ctx)
{
    SettingsForm& f = ctx.form;
    if (!f.txtRefresh.isEmpty() && text::val(f.txtRefresh) < kShortestInterval)
        f.txtRefresh = QString::number(kShortestInterval);

    // The file receives the portable display forms of the two directories.
    f.txtServer = ResolvePath(ctx, f.txtServer, &ctx.settings.serverDir);
    f.txtAnlage = ResolvePath(ctx, f.txtAnlage, &ctx.settings.clientDir);

    PendingError err;
    // Replaced as a whole, never truncated first: a server stopped while it
    // writes leaves the old file, and the next start still finds its plant.
    if (!saveTextFile(fileops::nativePath(ctx.ConfigFilePath), fileContent(f), err)) {
        if (err.number > 0)
            writeTotxtError(ctx, QStringLiteral("VOV Write Configdatei : ") + err.description);
        return;
    }
    setConfigInternal(ctx);
    editControls(ctx, false);
}

void setConfigInternal(ServerContext& ctx)
{
    SettingsForm& f = ctx.form;
    Settings& s = ctx.settings;

    // Ticked or greyed counts as on; the three-state values are kept as shown.
    s.AutoFreigabe = f.chkAutoFreigabe != 0;
    s.ProfNum3Digit = f.chkProfilNr3Digit != 0;
    s.FachNum4Digit = f.chkFachNr4Digit != 0;
    s.GenLoadID = f.chkWriteLoadID != 0;
    s.ConvToPvcNum = f.chkSetPVCPieceNum != 0;
    s.WinkelIDKonverter = f.chkWinkelIDConv != 0;
    s.WinkelKonverter = f.chkWinkelConv != 0;
    s.CompareDEandKTN = static_cast<TriState>(f.chkDEandKTN);
    applyThreeStateBoxes(ctx);
    // Lists without a selection: the printer counts as "Anyone", the other
    // two have no choice.
    s.printerType = static_cast<PrinterType>(std::max(0, f.cmbPrintertyp));
    s.machiningLayout = static_cast<MachiningLayout>(std::max(-1, f.cmbWBAddData));
    s.steelDefault = static_cast<SteelDefault>(std::max(-1, f.cmbSADefault));

    f.txtServer = ResolvePath(ctx, f.txtServer, &s.serverDir);
    ctx.store.setValue(kServerPathKey, s.serverDir);
    f.txtAnlage = ResolvePath(ctx, f.txtAnlage, &s.clientDir);
    s.clientParentDir = parentDirectory(s.clientDir);
    // The backup directory is used as typed; a "~apppath~" in it is resolved
    // like the other directories (a literal "~apppath~" folder never exists,
    // so without this a portable plant would silently make no extra backup).
    // The field keeps what the operator wrote.
    QString backup = fileops::nativePath(f.txtBackup);
    if (f.txtBackup.contains(QStringLiteral("~apppath~")))
        ResolvePath(ctx, f.txtBackup, &backup);
    s.backupDir = withTrailingSeparator(backup);

    s.Extension = f.txtExtension;
    s.ExtensionEtikett = f.txtExtensionEtikett;
    s.ExtensionStahl = f.txtExtensionStahl;

    applyScanTimer(ctx);
}

ConfigurationCandidate readConfigurationCandidate(const ServerContext& ctx)
{
    ConfigurationCandidate candidate;
    candidate.form = ctx.form;
    PendingError err;
    Pairs pairs;
    if (!readPairs(ctx.ConfigFilePath, pairs, err)) {
        candidate.refusal = err.description;
        return candidate;
    }
    if (!holdsAConfigurationKey(pairs)) {
        candidate.refusal = QStringLiteral("it holds no configuration key");
        return candidate;
    }
    QString badKey;
    if (!fillForm(candidate.form, pairs, err, &badKey)) {
        candidate.refusal = QStringLiteral("\"%1\": %2").arg(badKey, err.description);
        return candidate;
    }
    QString serverDir;
    bool wrongConfigPath = false;
    resolvePathQuietly(ctx, candidate.form.txtServer, &serverDir, &wrongConfigPath);
    if (serverDir.isEmpty())
        candidate.refusal = QStringLiteral("it names no server directory (\"ServerPath\")");
    else if (scanIntervalOf(candidate.form.txtRefresh, ctx.settings.scanInterval) <= 0)
        candidate.refusal = QStringLiteral("it gives no scan interval (\"RefreshZyklus\")");
    return candidate;
}

void applyConfigurationCandidate(ServerContext& ctx, const ConfigurationCandidate& candidate)
{
    ctx.store.setValue(kReleaseKey, QStringLiteral("0"));
    ctx.form = candidate.form;
    editControls(ctx, false);
    setConfigInternal(ctx);
}

QString configuredClientDir(const ServerContext& ctx)
{
    PendingError err;
    Pairs pairs;
    if (!readPairs(ctx.ConfigFilePath, pairs, err))
        return {};
    const QString configured = pairs.value(QStringLiteral("ClientPath"));
    if (configured.isEmpty())
        return {};
    QString resolved;
    bool wrongConfigPath = false;
    resolvePathQuietly(ctx, configured, &resolved, &wrongConfigPath);
    return resolved;
}

bool CheckConfigFileName(const QString& chosenName, QString* acceptedPath, QString* message)
{
    if (chosenName.right(5).compare(QStringLiteral("ZEZAD"), Qt::CaseInsensitive) == 0) {
        *acceptedPath = chosenName;
        return true;
    }
    *message = QStringLiteral("Wrong Filename :") + chosenName;
    return false;
}
