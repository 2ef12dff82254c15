#include "shell/FileAssociation.h"

#include "ExecutablePlant.h"

#include <QSettings>

namespace {

using RegistrationRequest = ExecutablePlant;

TEST_F(RegistrationRequest, WritesTheTypeTheEntryAndTheDefaultOnceWhereItMay)
{
    // The real executable's registration request, its XDG folders under one.
    const auto registerOnce = [&](const QString& under) {
        QProcessEnvironment env = environment();
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"})
            env.insert(QLatin1String(name), env.value(QLatin1String(name)).replace(root(), under));
        return run(QStringLiteral(VOV_SERVER_EXE), {QStringLiteral("-REGSERVER"), QStringLiteral("other.zezad")}, env);
    };
    const QString data = root() + QStringLiteral("/data");
    writeFile(root() + QStringLiteral("/config/mimeapps.list"), "[Added Associations]\ntext/plain=a.desktop;");
    ProcessRun r = registerOnce(root());
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, QString());
    EXPECT_EQ(readFileBytes(data + QStringLiteral("/mime/packages/serverquirnel-zezad.xml")),
              associationMimePackage(QStringLiteral("ZEZAD")));
    EXPECT_EQ(readFileBytes(data + QStringLiteral("/applications/serverquirnel-zezad.desktop")),
              associationDesktopEntry(QStringLiteral("ZEZAD"), QStringLiteral(VOV_SERVER_EXE)));
    EXPECT_EQ(readFileBytes(root() + QStringLiteral("/config/mimeapps.list")),
              QByteArray("[Added Associations]\ntext/plain=a.desktop;\n\n[Default Applications]\n"
                         "application/x-zezad=serverquirnel-zezad.desktop\n"));
    // Every start publishes the program and the extension in the first
    // machine-wide folder.
    QSettings paths(root() + QStringLiteral("/xdg/Quenmark/Lorvane-Application.conf"), QSettings::IniFormat);
    EXPECT_EQ(paths.allKeys(),
              (QStringList{QStringLiteral("Quirnel-Server/Extension"), QStringLiteral("Quirnel-Server/Server")}));
    EXPECT_EQ(paths.value(QStringLiteral("Quirnel-Server/Server")).toString(), QStringLiteral(VOV_SERVER_EXE));
    EXPECT_EQ(paths.value(QStringLiteral("Quirnel-Server/Extension")).toString(), QStringLiteral("ZEZAD"));

    const auto before = snapshot();
    ASSERT_EQ(registerOnce(root()).exitCode, 0);
    EXPECT_EQ(snapshot(), before) << "the second run changed a file";

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
