#include "shell/FileAssociation.h"

#include "ExecutablePlant.h"

#include <QSettings>

namespace {

TEST(DefaultApplicationEntry, SetsOurEntryAndKeepsEveryOtherLine)
{
    const std::pair<const char*, const char*> cases[] = {
        // appended inside the group
        {"[Default Applications]\ntext/plain=a.desktop\n\n[Added Associations]\nx/y=b.desktop;\n",
         "[Default Applications]\ntext/plain=a.desktop\napplication/x-zezad=serverquirnel-zezad.desktop\n\n"
         "[Added Associations]\nx/y=b.desktop;\n"},
        // replaces another program
        {"[Default Applications]\napplication/x-zezad = editor.desktop\napplication/x-zezadx=c.desktop\n",
         "[Default Applications]\napplication/x-zezad=serverquirnel-zezad.desktop\napplication/x-zezadx=c.desktop\n"},
    };
    const QString type = QStringLiteral("application/x-zezad");
    const QString id = QStringLiteral("serverquirnel-zezad.desktop");
    for (const auto& [before, after] : cases) {
        const QByteArray once = withDefaultApplication(QByteArray(before), type, id);
        EXPECT_EQ(once.toStdString(), std::string(after));
        EXPECT_EQ(withDefaultApplication(once, type, id), once) << "a second run changes nothing";
    }
}

// The registration request of the real executable on the plant's XDG folders.
class RegistrationRequest : public ExecutablePlant {
protected:
    ProcessRun registerOnce(const QString& under)
    {
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), under + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), under + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), under + QStringLiteral("/xdg"));
        return run(QStringLiteral(VOV_SERVER_EXE), {QStringLiteral("-REGSERVER"), QStringLiteral("other.zezad")}, env);
    }
};

TEST_F(RegistrationRequest, WritesTheTypeTheEntryAndTheDefaultOnceWhereItMay)
{
    const QString data = root() + QStringLiteral("/data");
    ProcessRun r = registerOnce(root());
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, QString());
    EXPECT_EQ(readFileBytes(data + QStringLiteral("/mime/packages/serverquirnel-zezad.xml")),
              associationMimePackage(QStringLiteral("ZEZAD")));
    EXPECT_EQ(readFileBytes(data + QStringLiteral("/applications/serverquirnel-zezad.desktop")),
              associationDesktopEntry(QStringLiteral("ZEZAD"), QStringLiteral(VOV_SERVER_EXE)));
    EXPECT_EQ(readFileBytes(root() + QStringLiteral("/config/mimeapps.list")),
              QByteArray("[Default Applications]\napplication/x-zezad=serverquirnel-zezad.desktop\n"));
    // Every start publishes the program and the extension in the first
    // machine-wide folder.
    QSettings paths(root() + QStringLiteral("/xdg/Quenmark/Lorvane-Application.conf"), QSettings::IniFormat);
    EXPECT_EQ(paths.allKeys(),
              (QStringList{QStringLiteral("Quirnel-Server/Extension"), QStringLiteral("Quirnel-Server/Server")}));
    EXPECT_EQ(paths.value(QStringLiteral("Quirnel-Server/Server")).toString(), QStringLiteral(VOV_SERVER_EXE));
    EXPECT_EQ(paths.value(QStringLiteral("Quirnel-Server/Extension")).toString(), QStringLiteral("ZEZAD"));

    const QStringList written{data, root() + QStringLiteral("/config")};
    const auto before = snapshot(written);
    ASSERT_EQ(registerOnce(root()).exitCode, 0);
    EXPECT_EQ(snapshot(written), before) << "the second run changed a file";

    // Folders that cannot be made (their parent is a file) stand for folders
    // without write rights, also as root: left alone without a report.
    const QString blocker = root() + QStringLiteral("/file");
    writeFile(blocker, {});
    const QStringList entries = QDir(root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    r = registerOnce(blocker);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, QString());
    EXPECT_EQ(QDir(root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entries);
}

} // namespace
