#include "shell/Registry.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct TypeCase {
    const char* name;
    QVariant value;
    RegistryType type;
    QByteArray data;
};

class RegistryValueRule : public ::testing::TestWithParam<TypeCase> {};

TEST_P(RegistryValueRule, StoresEachValueByItsType)
{
    const TypeCase& c = GetParam();
    const RegistryData got = registryDataFor(c.value);
    EXPECT_EQ(got.type, c.type);
    EXPECT_EQ(got.data.toHex(' '), c.data.toHex(' '));
}

QByteArray z(const char* text)
{
    return QByteArray(text) + QByteArray(1, '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistryValueRule,
    ::testing::Values(
        // the association's command value has a single "%"
        TypeCase{"CommandWithOnePercent", QStringLiteral("\"/p/serverquirnel\" \"%1\""), RegistryType::String,
                 z("\"/p/serverquirnel\" \"%1\"")},
        TypeCase{"Expandable", QStringLiteral("%TEMP%\\x"), RegistryType::ExpandString, z("%TEMP%\\x")},
        TypeCase{"ExpandableShortestGap", QStringLiteral("%a%"), RegistryType::ExpandString, z("%a%")},
        TypeCase{"AdjacentPercentsArePlain", QStringLiteral("100%%"), RegistryType::String, z("100%%")},
        TypeCase{"Cp1252Text", QStringLiteral("Ü"), RegistryType::String, QByteArray("\xDC\x00", 2)},
        TypeCase{"Int32", QVariant(0x01020304), RegistryType::Number32, QByteArray("\x04\x03\x02\x01", 4)},
        TypeCase{"Int16Negative", QVariant::fromValue<short>(-2), RegistryType::Number32,
                 QByteArray("\xFE\xFF\xFF\xFF", 4)},
        TypeCase{"BooleanTrue", QVariant(true), RegistryType::Number32, QByteArray("\x01\x00\x00\x00", 4)},
        TypeCase{"Bytes", QVariant(QByteArray("\x00\xFFz", 3)), RegistryType::Binary, QByteArray("\x00\xFFz", 3)},
        TypeCase{"DoubleIsNotWritten", QVariant(1.5), RegistryType::None, QByteArray()},
        TypeCase{"NullIsNotWritten", QVariant(), RegistryType::None, QByteArray()}),
    [](const auto& info) { return std::string(info.param.name); });

// RegisterServerPaths and SetRegistryValue on a temporary machine-wide
// folder, named through XDG_CONFIG_DIRS as on a real system.
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

TEST_F(ServerPaths, PublishesProgramAndExtensionAndWritesOnlyTypedValues)
{
    useSystemDir(m_dir.path() + QStringLiteral("/xdg"));
    RegisterServerPaths(QStringLiteral("/opt/plant/Server/serverquirnel"));
    SetRegistryValue(QStringLiteral("Lorvane-Application"), QStringLiteral("Quirnel-Server"), QStringLiteral("Count"),
                     7);
    SetRegistryValue(QStringLiteral("Lorvane-Application"), QStringLiteral("Quirnel-Server"), QStringLiteral("Ratio"),
                     0.5);

    ASSERT_TRUE(QFile::exists(storeFile()));
    QSettings s(storeFile(), QSettings::IniFormat);
    s.beginGroup(QStringLiteral("Quirnel-Server"));
    EXPECT_EQ(s.value(QStringLiteral("Server")).toString(), QStringLiteral("/opt/plant/Server/serverquirnel"));
    EXPECT_EQ(s.value(QStringLiteral("Extension")).toString(), QStringLiteral("ZEZAD"));
    EXPECT_EQ(s.value(QStringLiteral("Count")).toInt(), 7);
    EXPECT_FALSE(s.contains(QStringLiteral("Ratio")));
    EXPECT_EQ(s.childKeys().size(), 3);
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
