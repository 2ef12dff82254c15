#include "config/Configuration.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct ResolveCase {
    const char* configFile;
    const char* configured;
    const char* display;
    const char* resolved;
    bool wrongConfigPath; // "Wrong Configpath found!" shown
};

class ResolvePathTest : public ::testing::TestWithParam<ResolveCase> {
protected:
    TestPlant plant;
};

TEST_P(ResolvePathTest, DisplayFormAndResolvedPath)
{
    const ResolveCase& c = GetParam();
    plant.ctx.ConfigFilePath = QString::fromUtf8(c.configFile);
    QString resolved = QStringLiteral("stale");

    const QString display = ResolvePath(plant.ctx, QString::fromUtf8(c.configured), &resolved);

    EXPECT_EQ(display, QString::fromUtf8(c.display));
    EXPECT_EQ(resolved, QString::fromUtf8(c.resolved));
    if (c.wrongConfigPath) {
        ASSERT_EQ(plant.prompt.asked.size(), 1u);
        EXPECT_EQ(plant.prompt.asked[0].title, plant.ctx.ProgramTitle);
        EXPECT_EQ(plant.prompt.asked[0].text, QStringLiteral("Wrong Configpath found! ") + QString::fromUtf8(c.configFile));
    } else {
        EXPECT_TRUE(plant.prompt.asked.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ResolvePathTest,
    ::testing::Values(
        // under a folder named Server: the base is the folder above it
        ResolveCase{"/x/Server/c.zezad", "~apppath~\\Client", "~apppath~\\Client", "/x/Client", false},
        ResolveCase{"/x/Server/c.zezad", "~apppath~/Client", "~apppath~/Client", "/x/Client", false},
        ResolveCase{"/x/server/c.zezad", "~apppath~", "~apppath~", "/x", false},
        ResolveCase{"\\x\\SERVER\\c.zezad", "~apppath~\\Client", "~apppath~\\Client", "/x/Client", false},
        ResolveCase{"/x/Server/c.zezad", "~APPPATH~\\Client", "~APPPATH~\\Client", "/x/~APPPATH~/Client", false},
        // absolute paths under the base are shown in the portable form
        ResolveCase{"/x/Server/c.zezad", "/x/Client", "~apppath~/Client", "/x/Client", false},
        ResolveCase{"/x/Server/c.zezad", "/X/Client", "~apppath~/Client", "/X/Client", false},
        ResolveCase{"/x/Server/c.zezad", "/y/Client", "/y/Client", "/y/Client", false},
        // relative paths hang below the base
        ResolveCase{"/x/Server/c.zezad", "\\In", "\\In", "/x/In", false},
        ResolveCase{"/x/Server/c.zezad", "In", "In", "/x/In", false},
        ResolveCase{"/x/Server/c.zezad", "In\\Sub", "In\\Sub", "/x/In/Sub", false},
        // network paths and connection texts are left alone
        ResolveCase{"/x/Server/c.zezad", "//host/share", "//host/share", "//host/share", false},
        ResolveCase{"/x/Server/c.zezad", "\\\\host\\share", "\\\\host\\share", "//host/share", false},
        ResolveCase{"/x/Server/c.zezad", "Provider=Jet;Data Source=~apppath~\\a.mdb",
                    "Provider=Jet;Data Source=~apppath~\\a.mdb", "Provider=Jet;Data Source=~apppath~\\a.mdb", false},
        ResolveCase{"/x/Config/c.zezad", "pRoViDeR=x\\y", "pRoViDeR=x\\y", "pRoViDeR=x\\y", false},
        ResolveCase{"/x/Server/c.zezad", "", "", "", false},
        // not under a folder named Server: nothing is resolved
        ResolveCase{"/x/Config/c.zezad", "~apppath~\\Client", "~apppath~\\Client", "~apppath~/Client", true},
        ResolveCase{"/x/Config/c.zezad", "\\In", "\\In", "/In", false},
        ResolveCase{"/x/Servers/c.zezad", "/x/In", "/x/In", "/x/In", false}));

TEST(ResolvePathRoundTrip, PortableFormSurvivesSaveAndRead)
{
    TestPlant plant;
    plant.ctx.form.txtServer = QStringLiteral("~apppath~\\In");
    plant.ctx.form.txtAnlage = plant.root() + QStringLiteral("/Client");

    SaveConfiguration(plant.ctx);
    ReadConfiguration(plant.ctx);

    EXPECT_EQ(plant.ctx.form.txtServer, QStringLiteral("~apppath~\\In"));
    EXPECT_EQ(plant.ctx.form.txtAnlage, QStringLiteral("~apppath~/Client"));
    EXPECT_EQ(plant.ctx.settings.serverDir, plant.serverDir());
    EXPECT_EQ(plant.ctx.settings.clientDir, plant.clientDir());
    EXPECT_TRUE(readFileBytes(plant.ctx.ConfigFilePath).startsWith("\"ServerPath\",\"~apppath~\\In\"\r\n"
                                                                   "\"ClientPath\",\"~apppath~/Client\"\r\n"));
}

} // namespace
