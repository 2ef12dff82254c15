#include "shell/FileAssociation.h"

#include "ExecutablePlant.h"

#include <QStandardPaths>

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

TEST(DesktopEntry, ExecQuotesTheProgramAndPassesTheFileAsArgumentOne)
{
    const QByteArray entry =
        associationDesktopEntry(QStringLiteral("ZEZAD"), QStringLiteral("/opt/my plant/$x\\100%/sq"));
    EXPECT_TRUE(entry.contains("\nExec=\"/opt/my plant/\\\\$x\\\\\\\\100%%/sq\" %f\n")) << entry.constData();
    EXPECT_TRUE(entry.contains("\nMimeType=application/x-zezad;\n"));
    EXPECT_TRUE(associationMimePackage(QStringLiteral("ZEZAD")).contains("<glob pattern=\"*.zezad\"/>"));
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

TEST_F(RegistrationRequest, WritesTheTypeTheEntryAndTheDefaultOnceWhereItMayAndTheTypeIsKnown)
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

    const QStringList written{data, root() + QStringLiteral("/config")};
    const auto before = snapshot(written);
    ASSERT_EQ(registerOnce(root()).exitCode, 0);
    EXPECT_EQ(snapshot(written), before) << "the second run changed a file";

    // Folders that cannot be made (their parent is a file) are left alone
    // without a report.
    const QString blocker = root() + QStringLiteral("/file");
    writeFile(blocker, {});
    const QStringList entries = QDir(root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    r = registerOnce(blocker);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, QString());
    EXPECT_EQ(QDir(root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entries);

    if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("update-mime-database")).isEmpty())
        GTEST_SKIP() << "xdg-mime or update-mime-database not installed";
    for (const char* name : {"x.zezad", "Upper.ZEZAD"}) {
        const QString path = root() + QLatin1Char('/') + QLatin1String(name);
        writeFile(path, {});
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), data);
        r = run(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("filetype"), path}, env);
        EXPECT_EQ(r.out.trimmed(), QStringLiteral("application/x-zezad")) << name;
    }
}

} // namespace
