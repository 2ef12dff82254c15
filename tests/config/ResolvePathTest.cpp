#include "config/Configuration.h"

#include "TestPlant.h"

#include <gtest/gtest.h>

namespace {

struct ResolveCase {
    const char *name, *configFile, *configured, *display, *resolved;
    bool wrongConfigPath = false; // the operator is told "Wrong Configpath found!"
};

class ResolvePathTest : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolvePathTest, DisplayFormAndResolvedPath)
{
    const ResolveCase& c = GetParam();
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

// The base is the folder above a configuration folder named Server.
INSTANTIATE_TEST_SUITE_P(
    Table, ResolvePathTest,
    ::testing::Values(
        ResolveCase{"AppPath", "/x/Server/c.zezad", "~apppath~\\Client", "~apppath~\\Client", "/x/Client"},
        ResolveCase{"AppPathAnyCaseServer", "\\x\\SERVER\\c.zezad", "~apppath~/Client", "~apppath~/Client",
                    "/x/Client"},
        ResolveCase{"AbsoluteUnderBase", "/x/Server/c.zezad", "/x/Client", "~apppath~/Client", "/x/Client"},
        ResolveCase{"AbsoluteUnderBaseAnyCase", "/x/Server/c.zezad", "/X/Client", "~apppath~/Client", "/X/Client"},
        ResolveCase{"AbsoluteElsewhere", "/x/Server/c.zezad", "/y/Client", "/y/Client", "/y/Client"},
        ResolveCase{"RelativeBackslash", "/x/Server/c.zezad", "\\In", "\\In", "/x/In"},
        ResolveCase{"RelativeNested", "/x/Server/c.zezad", "In\\Sub", "In\\Sub", "/x/In/Sub"},
        ResolveCase{"NetworkSlashes", "/x/Server/c.zezad", "//host/share", "//host/share", "//host/share"},
        ResolveCase{"NetworkBackslashes", "/x/Server/c.zezad", "\\\\host\\share", "\\\\host\\share", "//host/share"},
        ResolveCase{"ProviderTextLeftAlone", "/x/Config/c.zezad", "pRoViDeR=SQLite;Data Source=~apppath~\\a.mdb",
                    "pRoViDeR=SQLite;Data Source=~apppath~\\a.mdb", "pRoViDeR=SQLite;Data Source=~apppath~\\a.mdb"},
        ResolveCase{"Empty", "/x/Server/c.zezad", "", "", ""},
        ResolveCase{"AppPathOutsideServer", "/x/Config/c.zezad", "~apppath~\\Client", "~apppath~\\Client",
                    "~apppath~/Client", true},
        ResolveCase{"RelativeOutsideServer", "/x/Config/c.zezad", "\\In", "\\In", "/In"},
        ResolveCase{"FolderServersIsNoBase", "/x/Servers/c.zezad", "/x/In", "/x/In", "/x/In"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
