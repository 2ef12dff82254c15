#include "config/Configuration.h"

#include "TestSupport.h"
#include "platform/Text.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

// The file a plant gets when the window's fields are all empty.
const QByteArray kEmptyFile = crlf({
    R"("ServerPath","")",
    R"("ClientPath","")",
    R"("BackupPath","")",
    R"("RefreshZyklus","")",
    R"("AutoFreigabe"," 0")",
    R"("Extension","")",
    R"("ExtensionEtikett","")",
    R"("ExtensionStahl","")",
    R"("3-Digit ProfNum",0)",
    R"("Steeldata",0)",
    R"("JobLoadMode",0)",
    R"("Printertyp","-1")",
    R"("CompareDEandKTN",0)",
    R"("WBAdditionalData","-1")",
    R"("SADefault","-1")",
    R"("ConvToPvcNum",0)",
    R"("GenLoadID",0)",
    R"("Winkel-ID-Konverter",0)",
    R"("Winkel-Konverter",0)",
    R"("4-Digit FachNum",0)",
});

// A complete file in the form the server writes it; the backup path holds
// an umlaut (0xE4 in Windows-1252).
const QByteArray kFullFile = crlf({
    R"("ServerPath","~apppath~\In")",
    R"("ClientPath","~apppath~\Client")",
    "\"BackupPath\",\"/b\xE4k\"",
    R"("RefreshZyklus","2000")",
    R"("AutoFreigabe"," 1")",
    R"("Extension","$tx")",
    R"("ExtensionEtikett","$et")",
    R"("ExtensionStahl","$sx")",
    R"("3-Digit ProfNum",1)",
    R"("Steeldata",2)",
    R"("JobLoadMode",1)",
    R"("Printertyp"," 5")",
    R"("CompareDEandKTN",2)",
    R"("WBAdditionalData"," 3")",
    R"("SADefault"," 2")",
    R"("ConvToPvcNum",1)",
    R"("GenLoadID",1)",
    R"("Winkel-ID-Konverter",1)",
    R"("Winkel-Konverter",1)",
    R"("4-Digit FachNum",1)",
});

class ConfigurationTest : public ::testing::Test {
protected:
    void writeConfig(const QByteArray& bytes)
    {
        QFile f(plant.ctx.ConfigFilePath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray configBytes() const { return readFileBytes(plant.ctx.ConfigFilePath); }

    TestPlant plant;
    ServerContext& ctx = plant.ctx;
    SettingsForm& form = plant.ctx.form;
    Settings& settings = plant.ctx.settings;
};

TEST_F(ConfigurationTest, MissingFileIsCreatedFromTheEmptyFieldsAndScanningStaysOff)
{
    ReadConfiguration(ctx);

    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("ZEzad Read Configdatei : File not found"));
    EXPECT_EQ(plant.errorBox.broughtToFront, 1);
    EXPECT_EQ(configBytes(), kEmptyFile);
    EXPECT_EQ(settings.scanInterval, 0);
    EXPECT_FALSE(ctx.tmrLoad.isActive());
    EXPECT_EQ(settings.serverDir, QString());
    EXPECT_FALSE(form.editMode);
}

TEST_F(ConfigurationTest, FullFileFillsFieldsSettingsAndStoreAndSavesBackByteForByte)
{
    writeConfig(kFullFile);
    plant.store.setValue(QStringLiteral("ProdServerAktiv"), QStringLiteral("1"));
    form.editMode = true;

    ReadConfiguration(ctx);

    EXPECT_EQ(plant.errorBox.changes, 0);
    EXPECT_FALSE(form.editMode);
    EXPECT_EQ(form.txtServer, QStringLiteral("~apppath~\\In"));
    EXPECT_EQ(form.txtBackup, QStringLiteral("/b\u00E4k"));
    EXPECT_EQ(form.chkAutoFreigabe, 1);
    EXPECT_EQ(form.chkSteeldata, 2);
    EXPECT_EQ(form.cmbPrintertyp, 5);
    EXPECT_EQ(form.cmbWBAddData, 3);
    EXPECT_EQ(form.cmbSADefault, 2);
    EXPECT_EQ(form.chkFachNr4Digit, 1);

    EXPECT_EQ(settings.serverDir, plant.root() + QStringLiteral("/In"));
    EXPECT_EQ(settings.clientDir, plant.root() + QStringLiteral("/Client"));
    EXPECT_EQ(settings.clientParentDir, plant.root() + QStringLiteral("/"));
    EXPECT_EQ(settings.backupDir, QStringLiteral("/b\u00E4k/"));
    EXPECT_EQ(settings.ExtensionEtikett, QStringLiteral("$et"));
    EXPECT_EQ(settings.scanInterval, 2000);
    EXPECT_TRUE(ctx.tmrLoad.isActive());
    EXPECT_EQ(ctx.tmrLoad.interval(), 2000);
    EXPECT_TRUE(settings.AutoFreigabe && settings.ProfNum3Digit && settings.FachNum4Digit && settings.GenLoadID
                && settings.ConvToPvcNum && settings.WinkelIDKonverter && settings.WinkelKonverter);
    EXPECT_EQ(settings.CompareDEandKTN, 2);
    EXPECT_EQ(settings.Steeldata, 2);
    EXPECT_EQ(settings.JobLoadMode, 1);
    EXPECT_EQ(plant.store.value(QStringLiteral("ProdServerAktiv")), QStringLiteral("0"));
    EXPECT_EQ(plant.store.value(QStringLiteral("ProdServerPfad")), plant.root() + QStringLiteral("/In"));
    EXPECT_TRUE(plant.prompt.asked.empty());

    QFile::remove(ctx.ConfigFilePath);
    SaveConfiguration(ctx);
    EXPECT_EQ(configBytes(), kFullFile);
}

TEST_F(ConfigurationTest, MissingKeysGiveTheirDefaults)
{
    form.txtExtension = QStringLiteral("old");
    form.chkLoadMode = 1;
    form.cmbSADefault = 3;
    writeConfig(crlf({R"("Unknown","x")"}));

    ReadConfiguration(ctx);

    EXPECT_EQ(plant.errorBox.changes, 0);
    EXPECT_EQ(form.txtExtension, QString());
    EXPECT_EQ(form.chkAutoFreigabe, 1);
    EXPECT_EQ(form.chkLoadMode, 0);
    EXPECT_EQ(form.cmbPrintertyp, 0);
    EXPECT_EQ(form.cmbSADefault, 0);
}

TEST_F(ConfigurationTest, DuplicateKeysLastWinsAndKeysAreCaseSensitive)
{
    writeConfig(crlf({
        R"("Extension","first")",
        R"("Extension","second")",
        R"("extension","lower")",
        R"("BackupPath","/a,b" )",
        R"(  "ExtensionStahl"  ,  $sx  )",
    }));

    ReadConfiguration(ctx);

    EXPECT_EQ(form.txtExtension, QStringLiteral("second"));
    EXPECT_EQ(form.txtBackup, QStringLiteral("/a,b"));
    EXPECT_EQ(form.txtExtensionStahl, QStringLiteral("$sx"));
}

struct RefreshCase {
    const char* line;
    int before;
    int interval;
    bool active;
};

class RefreshTest : public ConfigurationTest, public ::testing::WithParamInterface<RefreshCase> {};

TEST_P(RefreshTest, IntervalFromRefreshZyklus)
{
    const RefreshCase& c = GetParam();
    settings.scanInterval = c.before;
    writeConfig(crlf({c.line}));

    ReadConfiguration(ctx);

    EXPECT_EQ(settings.scanInterval, c.interval);
    EXPECT_EQ(ctx.tmrLoad.isActive(), c.active);
    if (c.active) {
        EXPECT_EQ(ctx.tmrLoad.interval(), c.interval);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, RefreshTest,
                         ::testing::Values(RefreshCase{R"("RefreshZyklus","500")", 0, 1100, true},
                                           RefreshCase{R"("RefreshZyklus","1")", 0, 1100, true},
                                           RefreshCase{R"("RefreshZyklus","1100")", 0, 1100, true},
                                           RefreshCase{R"("RefreshZyklus","2500.6 ms")", 0, 2501, true},
                                           RefreshCase{R"("RefreshZyklus","0")", 3000, 0, false},
                                           RefreshCase{R"("RefreshZyklus","-5")", 3000, -5, false},
                                           RefreshCase{R"("RefreshZyklus","fast")", 3000, 0, false},
                                           RefreshCase{R"("RefreshZyklus","99999")", 0, 65535, true},
                                           // an empty field leaves the interval as it was
                                           RefreshCase{R"("RefreshZyklus","")", 3000, 3000, true},
                                           RefreshCase{R"("Other","")", 0, 0, false}));

TEST_F(ConfigurationTest, SavingRaisesAShortRefreshToTheFloorInFieldAndFile)
{
    writeConfig(crlf({R"("RefreshZyklus","500")"}));
    ReadConfiguration(ctx);
    EXPECT_EQ(form.txtRefresh, QStringLiteral("500"));

    SaveConfiguration(ctx);

    EXPECT_EQ(form.txtRefresh, QStringLiteral("1100"));
    EXPECT_TRUE(configBytes().contains("\r\n\"RefreshZyklus\",\"1100\"\r\n"));
    EXPECT_EQ(settings.scanInterval, 1100);
}

struct AutoReleaseCase {
    const char* file; // the AutoFreigabe line, or "" for none
    int box;
};

class AutoReleaseTest : public ConfigurationTest, public ::testing::WithParamInterface<AutoReleaseCase> {};

TEST_P(AutoReleaseTest, BoxFollowsTheValueAndTheReleaseFlagIsCleared)
{
    plant.store.setValue(QStringLiteral("ProdServerAktiv"), QStringLiteral("1"));
    writeConfig(crlf({GetParam().file}));

    ReadConfiguration(ctx);

    EXPECT_EQ(form.chkAutoFreigabe, GetParam().box);
    EXPECT_EQ(settings.AutoFreigabe, GetParam().box != 0);
    EXPECT_EQ(plant.store.value(QStringLiteral("ProdServerAktiv")), QStringLiteral("0"));
}

INSTANTIATE_TEST_SUITE_P(Values, AutoReleaseTest,
                         ::testing::Values(AutoReleaseCase{R"("AutoFreigabe"," 0")", 0},
                                           AutoReleaseCase{R"("AutoFreigabe",0)", 0},
                                           AutoReleaseCase{R"("AutoFreigabe"," 1")", 1},
                                           AutoReleaseCase{R"("AutoFreigabe","")", 1},
                                           AutoReleaseCase{R"("AutoFreigabe","no")", 1},
                                           AutoReleaseCase{"", 1}));

struct BadValueCase {
    const char* line;
    const char* message;
};

class BadValueTest : public ConfigurationTest, public ::testing::WithParamInterface<BadValueCase> {};

// The first bad value ends the reading: fields filled before it keep their
// new values, the later ones their old values, and the file is rewritten
// from the fields.
TEST_P(BadValueTest, ReadingStopsReportsAndRewritesTheFile)
{
    form.chkWinkelConv = 1;   // filled before the lists
    form.chkFachNr4Digit = 1; // filled last
    form.txtRefresh = QStringLiteral("2000");
    writeConfig(crlf({R"("Extension","new")", GetParam().line}));

    ReadConfiguration(ctx);

    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("ZEzad Read Configdatei : ") + QLatin1String(GetParam().message));
    EXPECT_EQ(form.txtExtension, QStringLiteral("new"));
    EXPECT_EQ(form.chkFachNr4Digit, 1);
    EXPECT_EQ(form.txtRefresh, QString()); // read before the failure
    const QByteArray file = configBytes();
    EXPECT_EQ(file.count("\r\n"), 20);
    EXPECT_TRUE(file.contains("\"Extension\",\"new\"\r\n"));
    EXPECT_TRUE(file.contains("\"4-Digit FachNum\",1\r\n"));
    EXPECT_EQ(plant.errorBox.broughtToFront, 1);
}

INSTANTIATE_TEST_SUITE_P(Values, BadValueTest,
                         ::testing::Values(BadValueCase{R"("Printertyp"," 6")", "Invalid property value"},
                                           BadValueCase{R"("Printertyp","7")", "Invalid property value"},
                                           BadValueCase{R"("SADefault"," 4")", "Invalid property value"},
                                           BadValueCase{R"("Steeldata",x)", "Type mismatch"},
                                           BadValueCase{R"("GenLoadID",)", "Type mismatch"},
                                           BadValueCase{R"("JobLoadMode",3)", "Invalid property value"},
                                           BadValueCase{R"("JobLoadMode",70000)", "Overflow"}));

TEST_F(ConfigurationTest, NegativeListIndexSelectsTheFirstEntry)
{
    writeConfig(crlf({R"("Printertyp","-1")", R"("WBAdditionalData"," 5")"}));
    ReadConfiguration(ctx);
    EXPECT_EQ(plant.errorBox.changes, 0);
    EXPECT_EQ(form.cmbPrintertyp, 0);
    EXPECT_EQ(SettingsForm::printerTypes().at(form.cmbPrintertyp), QStringLiteral("Anyone"));
    EXPECT_EQ(SettingsForm::wbAddDataEntries().at(form.cmbWBAddData), QStringLiteral("5: x,Tiefe,yOffset;"));
}

TEST_F(ConfigurationTest, FailedWriteReportsAndLeavesTheSettingsAlone)
{
    ctx.ConfigFilePath = plant.root() + QStringLiteral("/missing/ServerQuirnel.zezad");
    form.txtExtension = QStringLiteral("new");
    form.editMode = true;

    SaveConfiguration(ctx);

    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("VOV Write Configdatei : Path not found"));
    EXPECT_EQ(settings.Extension, QString());
    EXPECT_TRUE(form.editMode);
}

struct DirectoryCase {
    const char* client;
    const char* backup;
    const char* clientParent;
    const char* backupDir;
};

class DirectoryTest : public ConfigurationTest, public ::testing::WithParamInterface<DirectoryCase> {};

TEST_P(DirectoryTest, ClientParentAndBackupDirectory)
{
    form.txtAnlage = QString::fromUtf8(GetParam().client);
    form.txtBackup = QString::fromUtf8(GetParam().backup);
    setConfigInternal(ctx);
    EXPECT_EQ(settings.clientParentDir, QString::fromUtf8(GetParam().clientParent));
    EXPECT_EQ(settings.backupDir, QString::fromUtf8(GetParam().backupDir));
}

INSTANTIATE_TEST_SUITE_P(Values, DirectoryTest,
                         ::testing::Values(DirectoryCase{"/plant/Client", "/bak", "/plant/", "/bak/"},
                                           DirectoryCase{"/plant/", "\\\\nas\\bak\\", "/plant/", "//nas/bak/"},
                                           DirectoryCase{"", "", "", ""}));

TEST(CheckConfigFileName, AcceptsOnlyNamesEndingInZezad)
{
    const struct {
        const char* chosen;
        bool accepted;
    } cases[] = {{"/p/Server/a.zezad", true}, {"/p/b.ZEZAD", true}, {"x.zezad.bak", false}, {"", false}};
    for (const auto& c : cases) {
        QString path = QStringLiteral("unchanged");
        QString message;
        EXPECT_EQ(CheckConfigFileName(QString::fromUtf8(c.chosen), &path, &message), c.accepted) << c.chosen;
        if (c.accepted) {
            EXPECT_EQ(path, QString::fromUtf8(c.chosen));
        } else {
            EXPECT_EQ(path, QStringLiteral("unchanged"));
            EXPECT_EQ(message, QStringLiteral("Wrong Filename :") + QString::fromUtf8(c.chosen));
        }
    }
}

} // namespace
