#include "shell/Registry.h"

#include "ExecutablePlant.h"

#include <QSettings>

namespace {

// RegisterServerPaths on a temporary machine-wide folder, named through
// XDG_CONFIG_DIRS as on a real system. A folder that cannot be created (its
// parent is a file) stands for a store without write rights, also when the
// tests run as root: nothing is written there and nothing said.
TEST(ServerPaths, PublishesProgramAndExtensionWhereItMayWrite)
{
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("XDG_CONFIG_DIRS");
    PlantTree::writeFile(dir.path() + QStringLiteral("/file"), {});
    for (const QString& system : {dir.path() + QStringLiteral("/file/xdg"), dir.path() + QStringLiteral("/xdg")}) {
        qputenv("XDG_CONFIG_DIRS", (system + QStringLiteral(":/etc/xdg")).toLocal8Bit());
        testing::internal::CaptureStderr();
        RegisterServerPaths(QStringLiteral("/opt/plant/Server/serverquirnel"));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        if (system.contains(QStringLiteral("/file/"))) {
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                      QStringList{QStringLiteral("file")});
            continue;
        }
        const QString store = system + QStringLiteral("/Quenmark/Lorvane-Application.conf");
        ASSERT_TRUE(QFile::exists(store));
        QSettings s(store, QSettings::IniFormat);
        s.beginGroup(QStringLiteral("Quirnel-Server"));
        EXPECT_EQ(s.value(QStringLiteral("Server")).toString(), QStringLiteral("/opt/plant/Server/serverquirnel"));
        EXPECT_EQ(s.value(QStringLiteral("Extension")).toString(), QStringLiteral("ZEZAD"));
        EXPECT_EQ(s.childKeys().size(), 2);
    }
    qputenv("XDG_CONFIG_DIRS", saved);
}

} // namespace
