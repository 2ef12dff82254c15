#include "shell/CommandLine.h"

#include "ExecutablePlant.h"
#include "platform/OperatorPrompt.h"

#include <tuple>

namespace {

// Own options are parsed apart from the legacy command line. Argument 1 is
// the first argument that is not an option, taken whole (a pair of quotes
// around it goes): a registration word in any case, or a configuration file
// whose name contains ".zezad"; further arguments are ignored.
TEST(LaunchOptionsTest, SeparatesOwnOptionsFromArgumentOne)
{
    const LaunchOptions o = parseLaunchOptions(
        {QStringLiteral("-REGSERVER"), QStringLiteral("--headless"), QStringLiteral("cfg.zezad"),
         QStringLiteral("--once"), QStringLiteral("--answer-exists=YES"), QStringLiteral("--answer-failed=retry"),
         QStringLiteral("/x"), QStringLiteral("--settle-ms=2500"), QStringLiteral("--metrics-file=/m/s.prom"),
         QStringLiteral("--program-dir"), QStringLiteral("/srv/p/Server")});
    EXPECT_TRUE(o.usageError.isEmpty()) << o.usageError.toStdString();
    EXPECT_TRUE(o.headless && o.once);
    EXPECT_EQ(o.answerExists, Answer::Yes);
    EXPECT_EQ(o.answerFailed, Answer::Retry);
    EXPECT_EQ(o.settleMs, 2500);
    EXPECT_EQ(o.metricsFile, QStringLiteral("/m/s.prom"));
    EXPECT_EQ(o.programDir, QStringLiteral("/srv/p/Server"));
    EXPECT_EQ(o.legacyArguments,
              (QStringList{QStringLiteral("-REGSERVER"), QStringLiteral("cfg.zezad"), QStringLiteral("/x")}));
    EXPECT_TRUE(legacyArgument(o).registration);
    const LegacyArgument quoted =
        legacyArgument(parseLaunchOptions({"--headless", "\"D:\\cfg\\line1.zezad\"", "x.zezad"}));
    EXPECT_FALSE(quoted.registration);
    EXPECT_EQ(quoted.configFile, QStringLiteral("D:\\cfg\\line1.zezad"));
    EXPECT_EQ(parseLaunchOptions({"--answer-failed=Auto"}).answerFailed, PolicyPrompt::AutoRetryCancel);
    EXPECT_FALSE(parseLaunchOptions({"--answer-failed=later"}).usageError.isEmpty());
}

// Usage errors end with 2 (one line and the hint to --help) and help or
// version with 0, before anything starts: the built server writes no
// configuration, settings, lock, metrics file named after an option or
// message to the service manager. Single-dash words other than -h and -v
// belong to the legacy command line.
using CommandLine = ExecutablePlant;

TEST_F(CommandLine, UsageErrorsHelpAndVersionStartNothing)
{
    const std::pair<QStringList, const char*> cases[] = {
        {{QStringLiteral("-v")}, ""},
        {{QStringLiteral("--help")}, ""},
        {{configPath(), QStringLiteral("-h")}, ""},
        {{configPath(), QStringLiteral("--headles"), QStringLiteral("--once")}, "'headles'"},
        {{QStringLiteral("-x"), QStringLiteral("/REGSERVER")}, nullptr},
        // A value that is missing, empty, another option or outside its set.
        {{QStringLiteral("--metrics-file"), QStringLiteral("--once")},
         "--metrics-file needs a value, not the option --once"},
        {{QStringLiteral("a.zezad"), QStringLiteral("--program-dir")}, "--program-dir needs a value"},
        // A job database URL is read before anything starts.
        {{QStringLiteral("--job-database=postgresql://saw:secret@db/plant?schema=line1")}, "password"},
        {{QStringLiteral("--init-db"), QStringLiteral("mysql://db/plant")}, "--init-db: not a postgresql:// URL"},
    };
    NotifySocket notify(root() + QStringLiteral("/notify.sock"));
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("NOTIFY_SOCKET"), notify.path);
    for (const auto& [arguments, error] : cases) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const LaunchOptions o = parseLaunchOptions(arguments);
        EXPECT_EQ(o.usageError.isEmpty(), !error || !*error);
        EXPECT_TRUE(!error || o.usageError.contains(QLatin1String(error))) << o.usageError.toStdString();
        int code = -1;
        EXPECT_EQ(answerWithoutStarting(o, &code), error != nullptr);
        EXPECT_EQ(code, !error ? -1 : *error ? 2 : 0);
        if (!error)
            continue;
        const ProcessRun r = run(QStringLiteral(VOV_SERVER_EXE), arguments, env);
        EXPECT_EQ(r.exitCode, code);
        if (code == 2) {
            EXPECT_TRUE(r.err.contains(QLatin1String(error)) && r.err.contains(QStringLiteral("--help")))
                << r.err.toStdString();
            EXPECT_EQ(r.err.count(u'\n'), 2) << "one line and the hint: " << r.err.toStdString();
        } else {
            EXPECT_TRUE(r.out.startsWith(arguments.contains(QStringLiteral("-v"))
                                             ? QStringLiteral("serverquirnel 1.")
                                             : QStringLiteral("Usage: serverquirnel")))
                << r.out.toStdString();
            EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        }
    }
    EXPECT_TRUE(run(QStringLiteral(VOV_SERVER_EXE), {QStringLiteral("--help")}, env).out.contains("--settle-ms=N"));
    EXPECT_TRUE(QDir(root() + QStringLiteral("/Server")).isEmpty());
    EXPECT_FALSE(QFile::exists(root() + QStringLiteral("/--once")));
    EXPECT_TRUE(QDir(root() + QStringLiteral("/config")).isEmpty());
    EXPECT_TRUE(QDir(root() + QStringLiteral("/run")).isEmpty());
    EXPECT_TRUE(notify.messages().isEmpty());
    for (const QString& line : usageText(QStringLiteral("serverquirnel")).split(u'\n'))
        EXPECT_LE(line.size(), 80) << line.toStdString();
}

// An installed program (a system folder, or one the user may not write to)
// starts only with the plant's configuration and --program-dir, and says so
// in one line; one in a plant's Server folder (every end-to-end run) does not.
TEST(InstalledProgram, NeedsTheConfigurationAndTheProgramFolder)
{
    const QStringList both{QStringLiteral("/srv/p/Server/ServerQuirnel.zezad"),
                           QStringLiteral("--program-dir=/srv/p/Server")};
    const std::tuple<const char*, bool, QStringList, bool> cases[] = {
        // folder, writable, arguments -> refused
        {"/usr/local/bin/", true, {}, true},
        {"/usr/bin", true, both, false},
        {"/opt/line1/Server", false, {QStringLiteral("/opt/line1/Server/ServerQuirnel.zezad")}, true},
        {"/usr/bin/plant", true, {}, false},
    };
    for (const auto& [dir, writable, arguments, refused] : cases) {
        const QString why = installedProgramLacks(parseLaunchOptions(arguments), QLatin1String(dir), writable);
        EXPECT_EQ(!why.isEmpty(), refused) << dir << " " << arguments.join(u' ').toStdString();
        EXPECT_TRUE(!refused || (why.contains(QStringLiteral("--program-dir")) &&
                                 why.contains(QStringLiteral("configuration")) && !why.contains(u'\n')))
            << why.toStdString();
    }
}

} // namespace
