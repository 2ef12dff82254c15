#include "config/Configuration.h"
#include "config/ConfigurationText.h"
#include "config/SettingsCheck.h"

#include "TestPlant.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <tuple>

namespace {

// The file a plant gets when the window's fields are all empty.
const QByteArray kEmptyFile = crlf({
    R"("ServerPath","")",     R"("ClientPath","")",         R"("BackupPath","")",       R"("RefreshZyklus","")",
    R"("AutoFreigabe"," 0")", R"("Extension","")",          R"("ExtensionEtikett","")", R"("ExtensionStahl","")",
    R"("3-Digit ProfNum",0)", R"("Steeldata",0)",           R"("JobLoadMode",0)",       R"("Printertyp","-1")",
    R"("CompareDEandKTN",0)", R"("WBAdditionalData","-1")", R"("SADefault","-1")",      R"("ConvToPvcNum",0)",
    R"("GenLoadID",0)",       R"("Winkel-ID-Konverter",0)", R"("Winkel-Konverter",0)",  R"("4-Digit FachNum",0)",
});

// A complete file as the server writes it; 0xE4 is an umlaut in Windows-1252.
const QByteArray kFullFile = crlf({
    R"("ServerPath","\In")",  R"("ClientPath","\Client")",  "\"BackupPath\",\"/b\xE4k\"",  R"("RefreshZyklus","2000")",
    R"("AutoFreigabe"," 1")", R"("Extension","$tx")",       R"("ExtensionEtikett","$et")", R"("ExtensionStahl","$sx")",
    R"("3-Digit ProfNum",1)", R"("Steeldata",2)",           R"("JobLoadMode",1)",          R"("Printertyp"," 5")",
    R"("CompareDEandKTN",2)", R"("WBAdditionalData"," 3")", R"("SADefault"," 2")",         R"("ConvToPvcNum",1)",
    R"("GenLoadID",1)",       R"("Winkel-ID-Konverter",1)", R"("Winkel-Konverter",1)",     R"("4-Digit FachNum",1)",
});

class ConfigurationTest : public ::testing::Test {
protected:
    void read(const QByteArray& bytes)
    {
        QFile f(ctx.ConfigFilePath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();
        ReadConfiguration(ctx);
    }

    TestPlant plant;
    ServerContext& ctx = plant.ctx;
    SettingsForm& form = plant.ctx.form;
    Settings& settings = plant.ctx.settings;
};

TEST_F(ConfigurationTest, MissingFileIsCreatedAndAFullFileFillsSettingsAndSavesBackByteForByte)
{
    // A missing file is reported and created from the empty fields.
    ReadConfiguration(ctx);
    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("ZEzad Read Configdatei : File not found"));
    EXPECT_EQ(plant.errorBox.broughtToFront, 1);
    EXPECT_EQ(readFileBytes(ctx.ConfigFilePath), kEmptyFile);

    plant.store.setValue(QStringLiteral("ProdServerAktiv"), QStringLiteral("1"));
    read(kFullFile);
    EXPECT_EQ(plant.errorBox.changes, 1);
    EXPECT_EQ(QStringList({settings.serverDir, settings.clientDir, settings.backupDir}),
              QStringList({plant.serverDir(), plant.clientDir(), QStringLiteral("/b\u00E4k/")}));
    EXPECT_TRUE(settings.AutoFreigabe && settings.ProfNum3Digit && settings.FachNum4Digit && settings.GenLoadID &&
                settings.ConvToPvcNum && settings.WinkelIDKonverter && settings.WinkelKonverter);
    EXPECT_EQ(std::tuple(settings.CompareDEandKTN, settings.Steeldata, settings.JobLoadMode),
              std::tuple(TriState::Greyed, TriState::Greyed, LoadMode::Job));
    EXPECT_EQ(std::tuple(settings.printerType, settings.machiningLayout, settings.steelDefault),
              std::tuple(PrinterType::ImajeDos, MachiningLayout::YOffsetTiefe, SteelDefault::AutomaticSteel));
    EXPECT_EQ(plant.store.value(QStringLiteral("ProdServerAktiv")), QStringLiteral("0"));
    EXPECT_EQ(plant.store.value(QStringLiteral("ProdServerPfad")), plant.serverDir());
    QFile::remove(ctx.ConfigFilePath);
    SaveConfiguration(ctx);
    EXPECT_EQ(readFileBytes(ctx.ConfigFilePath), kFullFile);

    // A failed write reports and leaves the settings and the edit mode alone.
    ctx.ConfigFilePath = plant.root() + QStringLiteral("/missing/ServerQuirnel.zezad");
    form.txtExtension = QStringLiteral("new");
    form.editMode = true;
    SaveConfiguration(ctx);
    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("VOV Write Configdatei : Path not found"));
    EXPECT_TRUE(settings.Extension == QStringLiteral("$tx") && form.editMode);
}

// "Extension" and one line: the scan interval (the timer runs when it is positive), the auto-release box, or a
// bad value, which ends the reading and has the file rewritten (fields read later keep their old values).
struct LineCase {
    const char *name, *line;
    int before, interval, autoRelease;
    const char* message = nullptr;
};

class OneLineTest : public ConfigurationTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(OneLineTest, IntervalAutoReleaseOrBadValue)
{
    const LineCase& c = GetParam();
    settings.scanInterval = c.before;
    form.chkFachNr4Digit = 1; // read last
    read(crlf({R"("Extension","new")", c.line}));
    if (c.message) {
        EXPECT_EQ(plant.errorBox.text(), QStringLiteral("ZEzad Read Configdatei : ") + QLatin1String(c.message));
        EXPECT_EQ(plant.errorBox.broughtToFront, 1);
        const QByteArray file = readFileBytes(ctx.ConfigFilePath);
        EXPECT_EQ(file.count("\r\n"), 20);
        EXPECT_TRUE(file.contains("\"Extension\",\"new\"\r\n") && file.contains("\"4-Digit FachNum\",1\r\n"));
        return;
    }
    EXPECT_EQ(settings.scanInterval, c.interval);
    EXPECT_EQ(ctx.tmrLoad.isActive() ? ctx.tmrLoad.interval() : 0, c.interval);
    EXPECT_EQ(form.chkAutoFreigabe, c.autoRelease);
    EXPECT_EQ(settings.AutoFreigabe, c.autoRelease != 0);
}

INSTANTIATE_TEST_SUITE_P(
    Values, OneLineTest,
    ::testing::Values(LineCase{"RefreshBelowFloor", R"("RefreshZyklus","500")", 0, 1100, 1},
                      LineCase{"RefreshLeadingNumberRounded", R"("RefreshZyklus","2500.6 ms")", 0, 2501, 1},
                      LineCase{"RefreshEmptyKeepsTheInterval", R"("RefreshZyklus","")", 3000, 3000, 1},
                      LineCase{"AutoReleaseBlankZero", R"("AutoFreigabe"," 0")", 0, 0, 0},
                      LineCase{"PrinterBeyondList", R"("Printertyp"," 6")", 0, 0, 0, "Invalid property value"},
                      LineCase{"CheckBoxOverflow", R"("JobLoadMode",70000)", 0, 0, 0, "Overflow"}),
    [](const auto& info) { return std::string(info.param.name); });

// The display form and the resolved path of a configured folder; the base
// is the folder above a configuration folder named Server.
TEST(ResolvePath, DisplayFormAndResolvedPath)
{
    const struct {
        const char *configFile, *configured, *display, *resolved;
        bool wrongConfigPath = false; // the operator is told "Wrong Configpath found!"
    } cases[] = {
        {"/x/Server/c.zezad", "~apppath~\\Client", "~apppath~\\Client", "/x/Client"},
        {"/x/Server/c.zezad", "/x/Client", "~apppath~/Client", "/x/Client"},
        {"/x/Server/c.zezad", "/X/Client", "~apppath~/Client", "/X/Client"},
        {"/x/Server/c.zezad", "\\In", "\\In", "/x/In"},
        {"/x/Server/c.zezad", "In\\Sub", "In\\Sub", "/x/In/Sub"},
        {"/x/Server/c.zezad", "\\\\host\\share", "\\\\host\\share", "//host/share"},
        {"/x/Config/c.zezad", "pRoViDeR=SQLite;Data Source=~apppath~\\a.mdb",
         "pRoViDeR=SQLite;Data Source=~apppath~\\a.mdb", "pRoViDeR=SQLite;Data Source=~apppath~\\a.mdb"},
        {"/x/Config/c.zezad", "~apppath~\\Client", "~apppath~\\Client", "~apppath~/Client", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.configFile) + " " + c.configured);
        TestPlant plant;
        plant.ctx.ConfigFilePath = QString::fromUtf8(c.configFile);
        QString resolved = QStringLiteral("stale");
        EXPECT_EQ(ResolvePath(plant.ctx, QString::fromUtf8(c.configured), &resolved), QString::fromUtf8(c.display));
        EXPECT_EQ(resolved, QString::fromUtf8(c.resolved));
        ASSERT_EQ(plant.prompt.asked.size(), c.wrongConfigPath ? 1u : 0u);
        if (c.wrongConfigPath) {
            EXPECT_EQ(plant.prompt.asked[0].text,
                      QStringLiteral("Wrong Configpath found! ") + QString::fromUtf8(c.configFile));
        }
    }
}

// Every setting that keeps the server from working is named, one sentence
// each, all in one text of the error box; a connection text in place of the
// client directory is none.
TEST_F(ConfigurationTest, SettingsProblemsAreNamedTogether)
{
    settings.scanInterval = 2000;
    settings.clientDir = QStringLiteral("Provider=x;Data Source=y");
    EXPECT_FALSE(reportSettingsProblems(ctx));
    EXPECT_EQ(plant.errorBox.changes, 0);

    ctx.ConfigFilePath = plant.root() + QStringLiteral("/Server/cfg.zezad");
    ASSERT_TRUE(QDir().mkpath(ctx.ConfigFilePath));
    ReadConfiguration(ctx);
    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("VOV Write Configdatei : Permission denied"));
    settings.scanInterval = 0; // as at program start
    settings.backupDir = plant.root() + QStringLiteral("/gone/");
    ASSERT_TRUE(reportSettingsProblems(ctx));
    const QStringList lines = plant.errorBox.text().split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 5) << plant.errorBox.text().toStdString();
    const char* expected[] = {
        "is a directory", "No server directory (\"ServerPath\")", "No client directory (\"ClientPath\")",
        "does not exist: loaded files get no extra backup", "No scan interval (\"RefreshZyklus\")"};
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(lines[i].contains(QLatin1String(expected[i]))) << lines[i].toStdString();
}

// Missing keys give defaults, a duplicate its last value. Edited on Linux:
// LF line ends and a byte-order mark; read as such, and the server still
// writes Windows-1252 with CR LF when it saves. With a CR anywhere in the
// file the old line rule holds: a bare LF stays in the line.
TEST_F(ConfigurationTest, MissingKeysDuplicatesAndLinuxEditedFilesAreReadAndSavedInTheOldForm)
{
    form.txtExtensionEtikett = QStringLiteral("old");
    form.cmbSADefault = 3;
    read(crlf({R"("Unknown","x")", R"("Extension","first")", R"("Extension","second")", R"("extension","lower")",
               R"("BackupPath","/a,b" )", R"(  "ExtensionStahl"  ,  $sx  )", R"("Printertyp","-1")",
               R"("WBAdditionalData"," 5")"}));
    EXPECT_TRUE(plant.errorBox.changes == 0 && form.chkAutoFreigabe == 1 && form.cmbSADefault == 0);
    // keys compare case-sensitively; a missing one empties its field
    EXPECT_EQ(QStringList({form.txtExtensionEtikett, form.txtExtension, form.txtBackup, form.txtExtensionStahl}),
              QStringList({"", "second", "/a,b", "$sx"}));
    EXPECT_EQ(SettingsForm::printerTypes().at(form.cmbPrintertyp), QStringLiteral("Anyone")); // negative: first entry
    EXPECT_EQ(SettingsForm::wbAddDataEntries().at(form.cmbWBAddData), QStringLiteral("5: x,Tiefe,yOffset;"));

    EXPECT_EQ(configurationLines("\"a\",1\n\"b\",2\r\"c\",3"), QStringList({"\"a\",1\n\"b\",2", "\"c\",3"}));
    read("\xEF\xBB\xBF\"ServerPath\",\"~apppath~/In\"\n\"BackupPath\",\"/b\xC3\xA4k\"\n\"RefreshZyklus\",\"1500\"\n");
    EXPECT_EQ(plant.errorBox.changes, 0) << plant.errorBox.text().toStdString();
    EXPECT_EQ(settings.serverDir, plant.serverDir());
    EXPECT_EQ(settings.scanInterval, 1500);
    SaveConfiguration(ctx);
    const QByteArray saved = readFileBytes(ctx.ConfigFilePath);
    EXPECT_EQ(saved.count("\r\n"), 20);
    EXPECT_TRUE(saved.contains("\"BackupPath\",\"/b\xE4k\"\r\n")) << saved.constData();
}

} // namespace
