#include "config/Configuration.h"

#include "TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <tuple>

namespace {

// The file a plant gets when the window's fields are all empty.
const QByteArray kEmptyFile = crlf({
    R"("ServerPath","")", R"("ClientPath","")", R"("BackupPath","")", R"("RefreshZyklus","")",
    R"("AutoFreigabe"," 0")", R"("Extension","")", R"("ExtensionEtikett","")", R"("ExtensionStahl","")",
    R"("3-Digit ProfNum",0)", R"("Steeldata",0)", R"("JobLoadMode",0)", R"("Printertyp","-1")",
    R"("CompareDEandKTN",0)", R"("WBAdditionalData","-1")", R"("SADefault","-1")", R"("ConvToPvcNum",0)",
    R"("GenLoadID",0)", R"("Winkel-ID-Konverter",0)", R"("Winkel-Konverter",0)", R"("4-Digit FachNum",0)",
});

// A complete file as the server writes it; 0xE4 is an umlaut in Windows-1252.
const QByteArray kFullFile = crlf({
    R"("ServerPath","~apppath~\In")", R"("ClientPath","~apppath~\Client")", "\"BackupPath\",\"/b\xE4k\"", R"("RefreshZyklus","2000")",
    R"("AutoFreigabe"," 1")", R"("Extension","$tx")", R"("ExtensionEtikett","$et")", R"("ExtensionStahl","$sx")",
    R"("3-Digit ProfNum",1)", R"("Steeldata",2)", R"("JobLoadMode",1)", R"("Printertyp"," 5")",
    R"("CompareDEandKTN",2)", R"("WBAdditionalData"," 3")", R"("SADefault"," 2")", R"("ConvToPvcNum",1)",
    R"("GenLoadID",1)", R"("Winkel-ID-Konverter",1)", R"("Winkel-Konverter",1)", R"("4-Digit FachNum",1)",
});

const QString kRelease = QStringLiteral("ProdServerAktiv");

class ConfigurationTest : public ::testing::Test {
protected:
    void read(const QByteArray& bytes)
    {
        QFile f(ctx.ConfigFilePath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        ReadConfiguration(ctx);
    }

    TestPlant plant;
    ServerContext& ctx = plant.ctx;
    SettingsForm& form = plant.ctx.form;
    Settings& settings = plant.ctx.settings;
};

TEST_F(ConfigurationTest, MissingFileIsReportedAndCreatedFromTheEmptyFields)
{
    ReadConfiguration(ctx);

    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("ZEzad Read Configdatei : File not found"));
    EXPECT_EQ(plant.errorBox.broughtToFront, 1);
    EXPECT_EQ(readFileBytes(ctx.ConfigFilePath), kEmptyFile);
}

TEST_F(ConfigurationTest, FullFileFillsSettingsAndStoreAndSavesBackByteForByte)
{
    plant.store.setValue(kRelease, QStringLiteral("1"));
    read(kFullFile);

    EXPECT_EQ(plant.errorBox.changes, 0);
    EXPECT_EQ(settings.serverDir, plant.serverDir());
    EXPECT_EQ(settings.clientDir, plant.clientDir());
    EXPECT_EQ(settings.backupDir, QStringLiteral("/b\u00E4k/"));
    EXPECT_EQ(ctx.tmrLoad.isActive() ? ctx.tmrLoad.interval() : 0, 2000);
    EXPECT_TRUE(settings.AutoFreigabe && settings.ProfNum3Digit && settings.FachNum4Digit && settings.GenLoadID
                && settings.ConvToPvcNum && settings.WinkelIDKonverter && settings.WinkelKonverter);
    EXPECT_EQ(std::tuple(settings.CompareDEandKTN, settings.Steeldata, settings.JobLoadMode), std::tuple(2, 2, 1));
    EXPECT_EQ(plant.store.value(kRelease), QStringLiteral("0"));
    EXPECT_EQ(plant.store.value(QStringLiteral("ProdServerPfad")), plant.serverDir());

    QFile::remove(ctx.ConfigFilePath);
    SaveConfiguration(ctx);
    EXPECT_EQ(readFileBytes(ctx.ConfigFilePath), kFullFile);
}

TEST_F(ConfigurationTest, MissingKeysGiveDefaultsAndDuplicatesTheLastValue)
{
    form.txtExtensionEtikett = QStringLiteral("old");
    form.cmbSADefault = 3;
    read(crlf({R"("Unknown","x")", R"("Extension","first")", R"("Extension","second")", R"("extension","lower")",
               R"("BackupPath","/a,b" )", R"(  "ExtensionStahl"  ,  $sx  )", R"("Printertyp","-1")",
               R"("WBAdditionalData"," 5")"}));

    EXPECT_EQ(plant.errorBox.changes, 0);
    EXPECT_EQ(form.chkAutoFreigabe, 1);
    EXPECT_EQ(form.cmbSADefault, 0);
    EXPECT_EQ(form.txtExtensionEtikett, QString());
    EXPECT_EQ(form.txtExtension, QStringLiteral("second")); // keys compare case-sensitively
    EXPECT_EQ(form.txtBackup, QStringLiteral("/a,b"));
    EXPECT_EQ(form.txtExtensionStahl, QStringLiteral("$sx"));
    EXPECT_EQ(SettingsForm::printerTypes().at(form.cmbPrintertyp), QStringLiteral("Anyone")); // negative: first entry
    EXPECT_EQ(SettingsForm::wbAddDataEntries().at(form.cmbWBAddData), QStringLiteral("5: x,Tiefe,yOffset;"));
}

// A file of one line: the scan interval (the timer runs when it is positive) and the auto-release box.
struct LineCase {
    const char *name, *line;
    int before, interval, autoRelease;
};

class SingleLineTest : public ConfigurationTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(SingleLineTest, IntervalAndAutoRelease)
{
    settings.scanInterval = GetParam().before;
    read(crlf({GetParam().line}));

    EXPECT_EQ(settings.scanInterval, GetParam().interval);
    EXPECT_EQ(ctx.tmrLoad.isActive() ? ctx.tmrLoad.interval() : 0, GetParam().interval);
    EXPECT_EQ(form.chkAutoFreigabe, GetParam().autoRelease);
    EXPECT_EQ(settings.AutoFreigabe, GetParam().autoRelease != 0);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SingleLineTest,
    ::testing::Values(LineCase{"RefreshBelowFloor", R"("RefreshZyklus","500")", 0, 1100, 1},
                      LineCase{"RefreshLeadingNumberRounded", R"("RefreshZyklus","2500.6 ms")", 0, 2501, 1},
                      LineCase{"RefreshZero", R"("RefreshZyklus","0")", 3000, 0, 1},
                      LineCase{"RefreshNotANumber", R"("RefreshZyklus","fast")", 3000, 0, 1},
                      LineCase{"RefreshCappedAt65535", R"("RefreshZyklus","99999")", 0, 65535, 1},
                      LineCase{"RefreshEmptyKeepsTheInterval", R"("RefreshZyklus","")", 3000, 3000, 1},
                      LineCase{"AutoReleaseBlankZero", R"("AutoFreigabe"," 0")", 0, 0, 0},
                      LineCase{"AutoReleaseBareZero", R"("AutoFreigabe",0)", 0, 0, 0},
                      LineCase{"AutoReleaseBlankOne", R"("AutoFreigabe"," 1")", 0, 0, 1},
                      LineCase{"AutoReleaseEmpty", R"("AutoFreigabe","")", 0, 0, 1},
                      LineCase{"AutoReleaseText", R"("AutoFreigabe","no")", 0, 0, 1},
                      LineCase{"NeitherKey", R"("Other","")", 0, 0, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfigurationTest, SavingRaisesAShortRefreshWritesThePortableClientPathOrReportsAFailedWrite)
{
    read(crlf({R"("RefreshZyklus","500")"}));
    EXPECT_EQ(form.txtRefresh, QStringLiteral("500"));
    form.txtAnlage = plant.clientDir();

    SaveConfiguration(ctx);

    EXPECT_EQ(form.txtRefresh, QStringLiteral("1100"));
    EXPECT_TRUE(readFileBytes(ctx.ConfigFilePath).contains("\r\n\"RefreshZyklus\",\"1100\"\r\n"));
    EXPECT_TRUE(readFileBytes(ctx.ConfigFilePath).contains("\r\n\"ClientPath\",\"~apppath~/Client\"\r\n"));
    EXPECT_EQ(settings.scanInterval, 1100);
    EXPECT_EQ(settings.clientDir, plant.clientDir());

    // A failed write reports and leaves the settings and the edit mode alone.
    ctx.ConfigFilePath = plant.root() + QStringLiteral("/missing/ServerQuirnel.zezad");
    form.txtExtension = QStringLiteral("new");
    form.editMode = true;
    SaveConfiguration(ctx);
    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("VOV Write Configdatei : Path not found"));
    EXPECT_EQ(settings.Extension, QString());
    EXPECT_TRUE(form.editMode);
}

struct BadValueCase {
    const char *name, *line, *message;
};

class BadValueTest : public ConfigurationTest, public ::testing::WithParamInterface<BadValueCase> {};

// The first bad value ends the reading: fields read before it have their new
// values, later ones keep their old values, and the file is rewritten from them.
TEST_P(BadValueTest, ReadingStopsReportsAndRewritesTheFile)
{
    form.chkFachNr4Digit = 1; // read last
    read(crlf({R"("Extension","new")", GetParam().line}));

    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("ZEzad Read Configdatei : ") + QLatin1String(GetParam().message));
    EXPECT_EQ(plant.errorBox.broughtToFront, 1);
    const QByteArray file = readFileBytes(ctx.ConfigFilePath);
    EXPECT_EQ(file.count("\r\n"), 20);
    EXPECT_TRUE(file.contains("\"Extension\",\"new\"\r\n"));
    EXPECT_TRUE(file.contains("\"4-Digit FachNum\",1\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Values, BadValueTest,
    ::testing::Values(BadValueCase{"PrinterBeyondList", R"("Printertyp"," 6")", "Invalid property value"},
                      BadValueCase{"CheckBoxNotANumber", R"("Steeldata",x)", "Type mismatch"},
                      BadValueCase{"CheckBoxEmpty", R"("GenLoadID",)", "Type mismatch"},
                      BadValueCase{"CheckBoxAboveTwo", R"("JobLoadMode",3)", "Invalid property value"},
                      BadValueCase{"CheckBoxOverflow", R"("JobLoadMode",70000)", "Overflow"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfigurationTest, ClientParentAndBackupDirectory)
{
    // "@" stands for the plant's root; the configuration is in <root>/Server.
    const auto at = [this](const char* s) { return QString::fromUtf8(s).replace(u'@', plant.root()); };
    const struct {
        const char *client, *backup, *clientParent, *backupDir;
    } cases[] = {{"/plant/Client", "/bak", "/plant/", "/bak/"},
                 {"/plant/", "\\\\nas\\bak\\", "/plant/", "//nas/bak/"},
                 {"@/Client", "~apppath~\\Backup", "@/", "@/Backup/"},
                 {"", "", "", ""}};
    for (const auto& c : cases) {
        form.txtAnlage = at(c.client);
        form.txtBackup = QString::fromUtf8(c.backup);
        setConfigInternal(ctx);
        EXPECT_EQ(settings.clientParentDir, at(c.clientParent)) << c.client;
        EXPECT_EQ(settings.backupDir, at(c.backupDir)) << c.backup;
        EXPECT_EQ(form.txtBackup, QString::fromUtf8(c.backup)); // the field keeps what was typed
    }
}

TEST(CheckConfigFileName, AcceptsOnlyNamesEndingInZezad)
{
    for (const auto& [chosen, accepted] : {std::pair{"/p/Server/a.zezad", true}, std::pair{"/p/b.ZEZAD", true},
                                           std::pair{"x.zezad.bak", false}, std::pair{"", false}}) {
        const QString name = QString::fromUtf8(chosen);
        QString path = QStringLiteral("unchanged");
        QString message;
        EXPECT_EQ(CheckConfigFileName(name, &path, &message), accepted) << name.toStdString();
        EXPECT_EQ(path, accepted ? name : QStringLiteral("unchanged"));
        EXPECT_EQ(message, accepted ? QString() : QStringLiteral("Wrong Filename :") + name);
    }
}

} // namespace
