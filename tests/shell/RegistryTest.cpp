#include "shell/Registry.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// RegisterServerPaths on a temporary machine-wide folder, named through
// XDG_CONFIG_DIRS as on a real system.
class ServerPaths : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_saved = qgetenv("XDG_CONFIG_DIRS");
    }
    void TearDown() override { qputenv("XDG_CONFIG_DIRS", m_saved); }

    void useSystemDir(const QString& dir)
    {
        qputenv("XDG_CONFIG_DIRS", (dir + QStringLiteral(":/etc/xdg")).toLocal8Bit());
    }
    QString storeFile() const { return m_dir.path() + QStringLiteral("/xdg/Quenmark/Lorvane-Application.conf"); }

    QTemporaryDir m_dir;
    QByteArray m_saved;
};

TEST_F(ServerPaths, PublishesProgramAndExtension)
{
    useSystemDir(m_dir.path() + QStringLiteral("/xdg"));
    RegisterServerPaths(QStringLiteral("/opt/plant/Server/serverquirnel"));

    ASSERT_TRUE(QFile::exists(storeFile()));
    QSettings s(storeFile(), QSettings::IniFormat);
    s.beginGroup(QStringLiteral("Quirnel-Server"));
    EXPECT_EQ(s.value(QStringLiteral("Server")).toString(), QStringLiteral("/opt/plant/Server/serverquirnel"));
    EXPECT_EQ(s.value(QStringLiteral("Extension")).toString(), QStringLiteral("ZEZAD"));
    EXPECT_EQ(s.childKeys().size(), 2);
}

TEST_F(ServerPaths, WithoutWriteRightsNothingIsWritten)
{
    // A folder that cannot be created (its parent is a file) stands for a
    // store without write rights, also when the tests run as root.
    QFile blocker(m_dir.path() + QStringLiteral("/file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    useSystemDir(blocker.fileName() + QStringLiteral("/xdg"));
    testing::internal::CaptureStderr();
    RegisterServerPaths(QStringLiteral("/opt/plant/Server/serverquirnel"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("file")});
}

} // namespace
