#include "config/SettingsCheck.h"

#include "TestPlant.h"
#include "config/Configuration.h"
#include "config/ConfigurationText.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

// Files edited on Windows (Windows-1252, CR LF) and on Linux (LF, UTF-8 with a byte-order mark).
TEST(ConfigurationLines, ReadsWindowsAndLinuxEditedFiles)
{
    const std::pair<QByteArray, QStringList> cases[] = {
        {QByteArray("\"a\",\"b\xE4\"\r\n\"c\",1\r\n"), {"\"a\",\"b\u00e4\"", "\"c\",1"}},
        // with a CR anywhere the old rule holds: a bare LF stays in the line
        {QByteArray("\"a\",1\n\"b\",2\r\"c\",3"), {"\"a\",1\n\"b\",2", "\"c\",3"}},
        {QByteArray("\"a\",1\n\"b\",2\n"), {"\"a\",1", "\"b\",2", ""}},
        {QByteArray("\xEF\xBB\xBF\"a\",\"\xC3\xA4\"\n\"b\",2"), {"\"a\",\"\u00e4\"", "\"b\",2"}},
        {QByteArray("\xEF\xBB\xBF\"a\",\"\xC3\xA4\"\r\n"), {"\"a\",\"\u00e4\""}},
    };
    for (const auto& [bytes, lines] : cases)
        EXPECT_EQ(configurationLines(bytes), lines) << bytes.toStdString();
}

class SettingsCheckTest : public ::testing::Test {
protected:
    void SetUp() override { plant.ctx.settings.scanInterval = 2000; }
    QString problems() const { return settingsProblems(plant.ctx).join(u'|'); }

    TestPlant plant;
    Settings& settings = plant.ctx.settings;
};

TEST_F(SettingsCheckTest, NamesEachSettingThatKeepsTheServerFromWorking)
{
    EXPECT_EQ(problems(), QString());
    EXPECT_FALSE(reportSettingsProblems(plant.ctx));
    EXPECT_EQ(plant.errorBox.changes, 0);

    struct Case {
        const char* what;
        std::function<void(Settings&)> change;
        const char* expected;
    };
    const QString missing = plant.root() + QStringLiteral("/gone");
    const std::vector<Case> cases{
        {"no server dir", [](Settings& s) { s.serverDir.clear(); }, "No server directory (\"ServerPath\")"},
        {"no client dir", [](Settings& s) { s.clientDir.clear(); }, "No client directory (\"ClientPath\")"},
        {"server dir missing", [&](Settings& s) { s.serverDir = missing; }, "The server directory "},
        {"client dir missing", [&](Settings& s) { s.clientDir = missing; }, "The client directory "},
        {"connection text", [](Settings& s) { s.clientDir = QStringLiteral("Provider=x;Data Source=y"); }, ""},
        {"backup missing", [&](Settings& s) { s.backupDir = missing + u'/'; },
         "does not exist: loaded files get no extra backup"},
        {"no interval", [](Settings& s) { s.scanInterval = 0; }, "No scan interval (\"RefreshZyklus\")"},
    };
    for (const Case& c : cases) {
        const Settings kept = settings;
        c.change(settings);
        const QString got = problems();
        EXPECT_EQ(got.isEmpty(), !*c.expected) << c.what << ": " << got.toStdString();
        EXPECT_TRUE(got.contains(QLatin1String(c.expected))) << c.what << ": " << got.toStdString();
        EXPECT_EQ(got.count(u'|'), 0) << c.what << ": one problem, one sentence";
        settings = kept;
    }
}

// An empty configuration: every cause at once, in one text of the error box.
TEST_F(SettingsCheckTest, ConfigurationPathThatIsADirectoryIsNamedWithTheOtherProblems)
{
    settings.scanInterval = 0; // as at program start
    plant.ctx.ConfigFilePath = plant.root() + QStringLiteral("/Server/cfg.zezad");
    ASSERT_TRUE(QDir().mkpath(plant.ctx.ConfigFilePath));
    ReadConfiguration(plant.ctx);
    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("VOV Write Configdatei : Permission denied"));
    ASSERT_TRUE(reportSettingsProblems(plant.ctx));
    const QStringList lines = plant.errorBox.text().split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 4) << plant.errorBox.text().toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("is a directory")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("No server directory")));
    EXPECT_TRUE(lines[2].contains(QStringLiteral("No client directory")));
    EXPECT_TRUE(lines[3].contains(QStringLiteral("No scan interval")));
}

// Edited on Linux: LF line ends and a byte-order mark; read as such, and the
// server still writes Windows-1252 with CR LF when it saves.
TEST_F(SettingsCheckTest, LinuxEditedConfigurationIsReadAndSavedInTheOldForm)
{
    QFile f(plant.ctx.ConfigFilePath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\xEF\xBB\xBF\"ServerPath\",\"~apppath~/In\"\n\"ClientPath\",\"~apppath~/Client\"\n"
            "\"BackupPath\",\"/b\xC3\xA4k\"\n\"RefreshZyklus\",\"1500\"\n\"JobLoadMode\",1\n");
    f.close();
    ReadConfiguration(plant.ctx);
    EXPECT_EQ(plant.errorBox.changes, 0) << plant.errorBox.text().toStdString();
    EXPECT_EQ(settings.serverDir, plant.serverDir());
    EXPECT_EQ(settings.clientDir, plant.clientDir());
    EXPECT_EQ(settings.scanInterval, 1500);
    EXPECT_EQ(settings.JobLoadMode, LoadMode::Job);
    EXPECT_EQ(plant.ctx.form.txtBackup, QStringLiteral("/b\u00e4k"));

    SaveConfiguration(plant.ctx);
    const QByteArray saved = readFileBytes(plant.ctx.ConfigFilePath);
    EXPECT_EQ(saved.count("\r\n"), 20);
    EXPECT_TRUE(saved.contains("\"BackupPath\",\"/b\xE4k\"\r\n")) << saved.constData();
}

} // namespace
