#include "config/Configuration.h"

#include "TestPlant.h"

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

TEST_F(ConfigurationTest, MissingFileIsReportedAndCreatedFromTheEmptyFields)
{
    ReadConfiguration(ctx);
    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("ZEzad Read Configdatei : File not found"));
    EXPECT_EQ(plant.errorBox.broughtToFront, 1);
    EXPECT_EQ(readFileBytes(ctx.ConfigFilePath), kEmptyFile);
}

TEST_F(ConfigurationTest, FullFileFillsSettingsSavesBackByteForByteAndSavingRaisesAShortRefresh)
{
    plant.store.setValue(QStringLiteral("ProdServerAktiv"), QStringLiteral("1"));
    read(kFullFile);
    EXPECT_EQ(plant.errorBox.changes, 0);
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

    form.txtRefresh = QStringLiteral("500");
    form.txtAnlage = plant.clientDir();
    SaveConfiguration(ctx);
    EXPECT_TRUE(readFileBytes(ctx.ConfigFilePath).contains("\r\n\"RefreshZyklus\",\"1100\"\r\n"));
    EXPECT_TRUE(readFileBytes(ctx.ConfigFilePath).contains("\r\n\"ClientPath\",\"~apppath~/Client\"\r\n"));
    EXPECT_EQ(settings.scanInterval, 1100);

    // A failed write reports and leaves the settings and the edit mode alone.
    ctx.ConfigFilePath = plant.root() + QStringLiteral("/missing/ServerQuirnel.zezad");
    form.txtExtension = QStringLiteral("new");
    form.editMode = true;
    SaveConfiguration(ctx);
    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("VOV Write Configdatei : Path not found"));
    EXPECT_TRUE(settings.Extension == QStringLiteral("$tx") && form.editMode);
}

TEST_F(ConfigurationTest, MissingKeysGiveDefaultsAndDuplicatesTheLastValue)
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
                      LineCase{"RefreshZero", R"("RefreshZyklus","0")", 3000, 0, 1},
                      LineCase{"RefreshCappedAt65535", R"("RefreshZyklus","99999")", 0, 65535, 1},
                      LineCase{"RefreshEmptyKeepsTheInterval", R"("RefreshZyklus","")", 3000, 3000, 1},
                      LineCase{"AutoReleaseBlankZero", R"("AutoFreigabe"," 0")", 0, 0, 0},
                      LineCase{"AutoReleaseEmpty", R"("AutoFreigabe","")", 0, 0, 1},
                      LineCase{"PrinterBeyondList", R"("Printertyp"," 6")", 0, 0, 0, "Invalid property value"},
                      LineCase{"CheckBoxNotANumber", R"("Steeldata",x)", 0, 0, 0, "Type mismatch"},
                      LineCase{"CheckBoxOverflow", R"("JobLoadMode",70000)", 0, 0, 0, "Overflow"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfigurationTest, ClientParentDirectory)
{
    for (const auto& [client, parent] :
         {std::pair{"/plant/Client", "/plant/"}, std::pair{"/plant/", "/plant/"}, std::pair{"", ""}}) {
        form.txtAnlage = QString::fromUtf8(client);
        setConfigInternal(ctx);
        EXPECT_EQ(settings.clientParentDir, QString::fromUtf8(parent)) << client;
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
