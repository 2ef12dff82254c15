#include "shell/FileAssociation.h"

#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace {

struct MimeappsCase {
    const char* name;
    const char* before;
    const char* after;
};

class DefaultApplicationEntry : public ::testing::TestWithParam<MimeappsCase> {};

TEST_P(DefaultApplicationEntry, SetsOurEntryAndKeepsEveryOtherLine)
{
    const MimeappsCase& c = GetParam();
    const QString type = QStringLiteral("application/x-zezad");
    const QString id = QStringLiteral("serverquirnel-zezad.desktop");
    const QByteArray once = withDefaultApplication(QByteArray(c.before), type, id);
    EXPECT_EQ(once.toStdString(), std::string(c.after));
    EXPECT_EQ(withDefaultApplication(once, type, id), once) << "a second run changes nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DefaultApplicationEntry,
    ::testing::Values(
        MimeappsCase{"NoFile", "", "[Default Applications]\napplication/x-zezad=serverquirnel-zezad.desktop\n"},
        MimeappsCase{"OtherGroupOnlyWithoutAFinalLineEnd", "[Added Associations]\ntext/plain=a.desktop;",
                     "[Added Associations]\ntext/plain=a.desktop;\n\n[Default Applications]\n"
                     "application/x-zezad=serverquirnel-zezad.desktop\n"},
        MimeappsCase{"AppendedInsideTheGroup",
                     "[Default Applications]\ntext/plain=a.desktop\n\n[Added Associations]\nx/y=b.desktop;\n",
                     "[Default Applications]\ntext/plain=a.desktop\napplication/x-zezad=serverquirnel-zezad.desktop\n\n"
                     "[Added Associations]\nx/y=b.desktop;\n"},
        MimeappsCase{"ReplacesAnotherProgram",
                     "[Default Applications]\napplication/x-zezad = editor.desktop\napplication/x-zezadx=c.desktop\n",
                     "[Default Applications]\napplication/x-zezad=serverquirnel-zezad.desktop\n"
                     "application/x-zezadx=c.desktop\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DesktopEntry, ExecQuotesTheProgramAndPassesTheFileAsArgumentOne)
{
    const QByteArray entry =
        associationDesktopEntry(QStringLiteral("ZEZAD"), QStringLiteral("/opt/my plant/$x\\100%/sq"));
    EXPECT_TRUE(entry.contains("\nExec=\"/opt/my plant/\\\\$x\\\\\\\\100%%/sq\" %f\n")) << entry.constData();
    EXPECT_TRUE(entry.contains("\nMimeType=application/x-zezad;\n"));
    EXPECT_TRUE(associationMimePackage(QStringLiteral("ZEZAD")).contains("<glob pattern=\"*.zezad\"/>"));
}

// The registration request of the real executable on temporary XDG folders.
class RegistrationRequest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString root() const { return m_dir.path(); }

    int registerOnce(const QString& dataHome, const QString& configHome, const QString& systemDir, QString* err)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), systemDir);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VOV_SERVER_EXE), {QStringLiteral("-REGSERVER"), QStringLiteral("other.zezad")});
        EXPECT_TRUE(p.waitForFinished(60000));
        *err = QString::fromLocal8Bit(p.readAllStandardError());
        return p.exitCode();
    }

    // Every file under the folder with its content and modification time.
    static std::map<QString, std::pair<QByteArray, qint64>> snapshot(const QString& dir)
    {
        std::map<QString, std::pair<QByteArray, qint64>> files;
        QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files[path] = {readFileBytes(path), QFileInfo(path).lastModified().toMSecsSinceEpoch()};
        }
        return files;
    }

    QTemporaryDir m_dir;
};

TEST_F(RegistrationRequest, WritesTheTypeTheEntryAndTheDefaultOnceAndTheTypeIsKnown)
{
    const QString data = root() + QStringLiteral("/data");
    const QString config = root() + QStringLiteral("/config");
    const QString system = root() + QStringLiteral("/xdg");
    QString err;
    ASSERT_EQ(registerOnce(data, config, system, &err), 0);
    EXPECT_EQ(err, QString());
    EXPECT_EQ(readFileBytes(data + QStringLiteral("/mime/packages/serverquirnel-zezad.xml")),
              associationMimePackage(QStringLiteral("ZEZAD")));
    EXPECT_EQ(readFileBytes(data + QStringLiteral("/applications/serverquirnel-zezad.desktop")),
              associationDesktopEntry(QStringLiteral("ZEZAD"), QStringLiteral(VOV_SERVER_EXE)));
    EXPECT_EQ(readFileBytes(config + QStringLiteral("/mimeapps.list")),
              QByteArray("[Default Applications]\napplication/x-zezad=serverquirnel-zezad.desktop\n"));

    const auto before = std::make_pair(snapshot(data), snapshot(config));
    ASSERT_EQ(registerOnce(data, config, system, &err), 0);
    EXPECT_TRUE(std::make_pair(snapshot(data), snapshot(config)) == before) << "the second run changed a file";

    if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("update-mime-database")).isEmpty())
        GTEST_SKIP() << "xdg-mime or update-mime-database not installed";
    for (const char* name : {"x.zezad", "Upper.ZEZAD"}) {
        QFile file(root() + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        QProcess q;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), data);
        q.setProcessEnvironment(env);
        q.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("filetype"), root() + QLatin1Char('/') + QLatin1String(name)});
        ASSERT_TRUE(q.waitForFinished(30000));
        EXPECT_EQ(q.readAllStandardOutput().trimmed(), QByteArray("application/x-zezad")) << name;
    }
}

TEST_F(RegistrationRequest, UnwritableFoldersAreLeftAloneWithoutAReport)
{
    QFile blocker(root() + QStringLiteral("/file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString err;
    const QString under = blocker.fileName();
    EXPECT_EQ(registerOnce(under + QStringLiteral("/data"), under + QStringLiteral("/config"),
                           under + QStringLiteral("/xdg"), &err),
              0);
    EXPECT_EQ(err, QString());
    EXPECT_EQ(QDir(root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("file")});
}

} // namespace
