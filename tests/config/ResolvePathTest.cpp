#include "config/Configuration.h"

#include "TestPlant.h"

#include <gtest/gtest.h>

namespace {

// The display form and the resolved path of a configured folder; the base
// is the folder above a configuration folder named Server.
TEST(ResolvePath, DisplayFormAndResolvedPath)
{
    const struct {
        const char *configFile, *configured, *display, *resolved;
        bool wrongConfigPath = false; // the operator is told "Wrong Configpath found!"
    } cases[] = {
        {"/x/Server/c.zezad", "~apppath~\\Client", "~apppath~\\Client", "/x/Client"},
        {"\\x\\SERVER\\c.zezad", "~apppath~/Client", "~apppath~/Client", "/x/Client"},
        {"/x/Server/c.zezad", "/x/Client", "~apppath~/Client", "/x/Client"},
        {"/x/Server/c.zezad", "/X/Client", "~apppath~/Client", "/X/Client"},
        {"/x/Server/c.zezad", "/y/Client", "/y/Client", "/y/Client"},
        {"/x/Server/c.zezad", "\\In", "\\In", "/x/In"},
        {"/x/Server/c.zezad", "In\\Sub", "In\\Sub", "/x/In/Sub"},
        {"/x/Server/c.zezad", "//host/share", "//host/share", "//host/share"},
        {"/x/Server/c.zezad", "\\\\host\\share", "\\\\host\\share", "//host/share"},
        {"/x/Config/c.zezad", "pRoViDeR=SQLite;Data Source=~apppath~\\a.mdb",
         "pRoViDeR=SQLite;Data Source=~apppath~\\a.mdb", "pRoViDeR=SQLite;Data Source=~apppath~\\a.mdb"},
        {"/x/Server/c.zezad", "", "", ""},
        {"/x/Config/c.zezad", "~apppath~\\Client", "~apppath~\\Client", "~apppath~/Client", true},
        {"/x/Config/c.zezad", "\\In", "\\In", "/In"},
        {"/x/Servers/c.zezad", "/x/In", "/x/In", "/x/In"},
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

} // namespace
