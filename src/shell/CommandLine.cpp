#include "shell/CommandLine.h"

#include "Version.h"
#include "platform/OperatorPrompt.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>
#include <vector>

LegacyArgument interpretArgument1(const QString& argument)
{
    LegacyArgument result;
    const QString upper = argument.toUpper();
    if (upper == QLatin1String("-REGSERVER") || upper == QLatin1String("/REGSERVER"))
        result.registration = true;
    if (argument.size() > 5 && upper.contains(QLatin1String(".ZEZAD"))) {
        const bool quoted = argument.size() >= 2 && argument.startsWith(u'"') && argument.endsWith(u'"');
        result.configFile = quoted ? argument.mid(1, argument.size() - 2) : argument;
    }
    return result;
}

namespace {

// Our options, in the order --help lists them.
struct OptionDefinition {
    QStringList names;
    QString valueName; // empty: a switch
    QString help;
};

const std::vector<OptionDefinition>& optionDefinitions()
{
    static const std::vector<OptionDefinition> definitions{
        {{QStringLiteral("headless")},
         {},
         QStringLiteral("no window: the error box goes to standard error, questions are answered by policy")},
        {{QStringLiteral("once")}, {}, QStringLiteral("start up, run exactly one scan cycle, shut down")},
        {{QStringLiteral("answer-exists")},
         QStringLiteral("yes|no|cancel"),
         QStringLiteral("headless answer when a job exists already (default: no = override)")},
        {{QStringLiteral("answer-failed")},
         QStringLiteral("auto|retry|cancel"),
         QStringLiteral("headless answer after a failed file: retry reads it again in the next cycle, cancel "
                        "makes an error copy (default: auto = retry after a fault of the machine, such as a "
                        "locked or full job database, cancel after a fault in the file's content)")},
        {{QStringLiteral("settle-ms")},
         QStringLiteral("N"),
         QStringLiteral("take a file only when its size and time have not changed for N ms (default 0: "
                        "the read-only rule alone)")},
        {{QStringLiteral("metrics-file")},
         QStringLiteral("PATH"),
         QStringLiteral("write Prometheus text metrics to PATH after every scan cycle")},
        {{QStringLiteral("program-dir")},
         QStringLiteral("DIR"),
         QStringLiteral("folder that holds prog.bak (default: the program's folder; needed, with the "
                        "configuration file, when the program is installed in a system folder)")},
        {{QStringLiteral("job-database")},
         QStringLiteral("URL"),
         QStringLiteral("the job database in a schema of a PostgreSQL server, "
                        "postgresql://[user@]host[:port]/db?schema=NAME (default: prog.mdb in the client "
                        "directory); the password comes from ~/.pgpass, PGPASSFILE or PGPASSWORD, never the URL")},
        {{QStringLiteral("init-db")},
         QStringLiteral("DIR|URL"),
         QStringLiteral("create DIR/prog.mdb, an empty job database, or the schema of a postgresql:// URL with its "
                        "tables, and end; refuses, changing nothing, when they exist")},
        {{QStringLiteral("h"), QStringLiteral("help")}, {}, QStringLiteral("show this text and end")},
        {{QStringLiteral("v"), QStringLiteral("version")},
         {},
         QStringLiteral("show the program name and version and end")},
    };
    return definitions;
}

bool isOurs(const QString& arg)
{
    return arg.startsWith(QLatin1String("--")) || arg == QLatin1String("-h") || arg == QLatin1String("-v");
}

const OptionDefinition* valueOption(const QString& arg)
{
    for (const OptionDefinition& definition : optionDefinitions()) {
        if (!definition.valueName.isEmpty() && arg == QStringLiteral("--") + definition.names.first())
            return &definition;
    }
    return nullptr;
}

// A value that is missing, empty or another option is a usage error rather
// than a file name: "--metrics-file --once" must not write a file "--once"
// and run for ever.
QString valueError(const OptionDefinition& definition, const QString& value)
{
    const QString name = QStringLiteral("--") + definition.names.first();
    if (value.isEmpty())
        return QStringLiteral("%1 needs a value: %1=%2").arg(name, definition.valueName);
    if (value.startsWith(QLatin1String("--")))
        return QStringLiteral("%1 needs a value, not the option %2: %1=%3").arg(name, value, definition.valueName);
    return {};
}

// --init-db takes a directory or a URL; anything with a scheme is read as
// a URL, so that "mysql://..." is refused rather than made a folder.
bool isJobDatabaseUrl(const QString& value)
{
    return value.contains(QLatin1String("://"));
}

} // namespace

LaunchOptions parseLaunchOptions(const QStringList& arguments)
{
    LaunchOptions o;
    // Only our options go to the parser: the legacy arguments ("-REGSERVER",
    // "/REGSERVER", a configuration file) are not options in its sense. An
    // option that takes a value and is written without "=" takes the next
    // argument, whatever it is, so that what follows is never read as
    // argument 1 and a missing value is named.
    QStringList ours{QStringLiteral("serverquirnel")};
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (!isOurs(arg)) {
            o.legacyArguments << arg;
            continue;
        }
        if (valueOption(arg)) {
            ours << arg + u'=' + (i + 1 < arguments.size() ? arguments.at(++i) : QString());
            continue;
        }
        ours << arg;
    }

    QCommandLineParser parser;
    for (const OptionDefinition& definition : optionDefinitions()) {
        QCommandLineOption option(definition.names);
        if (!definition.valueName.isEmpty())
            option.setValueName(definition.valueName);
        parser.addOption(option);
    }
    if (!parser.parse(ours)) {
        o.usageError = parser.errorText();
        return o;
    }
    if (!parser.positionalArguments().isEmpty()) {
        o.usageError = QStringLiteral("unexpected argument after --: %1").arg(parser.positionalArguments().first());
        return o;
    }
    for (const OptionDefinition& definition : optionDefinitions()) {
        if (definition.valueName.isEmpty() || !parser.isSet(definition.names.first()))
            continue;
        o.usageError = valueError(definition, parser.value(definition.names.first()));
        if (!o.usageError.isEmpty())
            return o;
    }

    o.showHelp = parser.isSet(QStringLiteral("help"));
    o.showVersion = parser.isSet(QStringLiteral("version"));
    o.headless = parser.isSet(QStringLiteral("headless"));
    o.once = parser.isSet(QStringLiteral("once"));
    o.metricsFile = parser.value(QStringLiteral("metrics-file"));
    o.programDir = parser.value(QStringLiteral("program-dir"));
    // A URL is read here: one that cannot be used starts nothing.
    QString why;
    if (parser.isSet(QStringLiteral("init-db"))) {
        o.initDb = true;
        const QString value = parser.value(QStringLiteral("init-db"));
        if (isJobDatabaseUrl(value)) {
            JobDatabaseUrl url;
            if (!parseJobDatabaseUrl(value, url, &why)) {
                o.usageError = QStringLiteral("--init-db: %1").arg(why);
                return o;
            }
            o.initDbServer = url;
        } else {
            o.initDbDir = value;
        }
    }
    if (parser.isSet(QStringLiteral("job-database"))) {
        JobDatabaseUrl url;
        if (!parseJobDatabaseUrl(parser.value(QStringLiteral("job-database")), url, &why)) {
            o.usageError = QStringLiteral("--job-database: %1").arg(why);
            return o;
        }
        o.jobDatabase = url;
    }
    bool ok = true;
    if (parser.isSet(QStringLiteral("answer-exists"))) {
        const QString value = parser.value(QStringLiteral("answer-exists"));
        o.answerExists = PolicyPrompt::parseExistsAnswer(value, &ok);
        o.answerExistsGiven = true;
        if (!ok)
            o.usageError = QStringLiteral("--answer-exists takes yes, no or cancel, not '%1'").arg(value);
    }
    if (parser.isSet(QStringLiteral("answer-failed"))) {
        const QString value = parser.value(QStringLiteral("answer-failed"));
        o.answerFailed = PolicyPrompt::parseFailedAnswer(value, &ok);
        o.answerFailedGiven = true;
        if (!ok)
            o.usageError = QStringLiteral("--answer-failed takes auto, retry or cancel, not '%1'").arg(value);
    }
    if (parser.isSet(QStringLiteral("settle-ms"))) {
        const QString value = parser.value(QStringLiteral("settle-ms"));
        o.settleMs = value.toInt(&ok);
        if (!ok || o.settleMs < 0)
            o.usageError = QStringLiteral("--settle-ms takes a number of milliseconds, 0 or more, not '%1'").arg(value);
    }
    return o;
}

QString usageText(const QString& programName)
{
    QString t;
    t += QStringLiteral("Usage: %1 [CONFIG.zezad] [options]\n").arg(programName);
    t += QStringLiteral("       %1 -REGSERVER | /REGSERVER\n").arg(programName);
    t += QStringLiteral("       %1 --init-db DIR|URL | --help | --version\n\n").arg(programName);
    t += QStringLiteral("Production-data server of the VOV machining centre: polls the server directory\n"
                        "and writes the job files it finds into the job database.\n\n");
    t += QStringLiteral("Argument 1:\n"
                        "  CONFIG.zezad            a name containing \".zezad\" (any case) names the\n"
                        "                          configuration file (default: ServerQuirnel.zezad\n"
                        "                          beside the program)\n"
                        "  -REGSERVER, /REGSERVER  registration request: ends without starting the server\n\n"
                        "Any other first argument, and every further one that is not an option, is\n"
                        "ignored.\n\n");
    t += QStringLiteral("Options:\n");
    for (const OptionDefinition& definition : optionDefinitions()) {
        QStringList forms;
        for (const QString& name : definition.names)
            forms << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString left = forms.join(QStringLiteral(", "));
        if (!definition.valueName.isEmpty())
            left += (definition.names.first() == QLatin1String("init-db") ? QStringLiteral(" ") : QStringLiteral("=")) +
                    definition.valueName;
        // Two columns; the description wrapped at 80 characters.
        constexpr int kIndent = 32;
        QString line = QStringLiteral("  ") + left;
        line = line.size() <= kIndent - 2 ? line.leftJustified(kIndent)
                                          : line + QLatin1Char('\n') + QString(kIndent, u' ');
        qsizetype column = line.size() - line.lastIndexOf(u'\n') - 1;
        for (const QString& word : definition.help.split(u' ')) {
            if (column + word.size() > 79 && column > kIndent) {
                line += QLatin1Char('\n') + QString(kIndent, u' ');
                column = kIndent;
            } else if (column > kIndent) {
                line += u' ';
                ++column;
            }
            line += word;
            column += word.size();
        }
        t += line + QLatin1Char('\n');
    }
    t += QStringLiteral("\nAn option's value follows \"=\" or comes as the next argument.\n");
    t += QStringLiteral("\nSignals: SIGTERM and SIGINT end the server between two scan cycles (after an\n"
                        "import in progress); SIGHUP reads the configuration file again.\n");
    t += QStringLiteral("\nServer manager (serverquirnel-manager, beside the server):\n"
                        "  serverquirnel-manager serve     keep the registrations (session bus)\n"
                        "  serverquirnel-manager list      title, client path and bus name of each\n"
                        "  serverquirnel-manager start|stop|restart TITLE\n"
                        "                                  show the window, end the server, or nothing\n");
    return t;
}

QString usageHint(const QString& programName)
{
    return QStringLiteral("Try '%1 --help' for the options.").arg(programName);
}

bool answerWithoutStarting(const LaunchOptions& options, int* exitCode)
{
    const QString program = QStringLiteral("serverquirnel");
    if (!options.usageError.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n%s\n", qPrintable(program), qPrintable(options.usageError),
                     qPrintable(usageHint(program)));
        *exitCode = 2;
        return true;
    }
    if (options.showHelp) {
        std::fputs(qPrintable(usageText(program)), stdout);
        *exitCode = 0;
        return true;
    }
    if (options.showVersion) {
        std::printf("%s %s\n", qPrintable(program), VOV_VERSION);
        *exitCode = 0;
        return true;
    }
    return false;
}

LegacyArgument legacyArgument(const LaunchOptions& options)
{
    return interpretArgument1(options.legacyArguments.value(0));
}

bool runsHeadless(const LaunchOptions& options)
{
    // --help, --version and a usage error start nothing, so need no display.
    return options.headless || options.initDb || options.showHelp || options.showVersion ||
           !options.usageError.isEmpty() || legacyArgument(options).registration;
}

bool programIsInstalled(const QString& programDir, bool writable)
{
    static const QStringList kSystemFolders{QStringLiteral("/usr/bin"), QStringLiteral("/usr/local/bin"),
                                            QStringLiteral("/bin"), QStringLiteral("/usr/sbin")};
    return !writable || kSystemFolders.contains(QDir::cleanPath(programDir));
}

QString installedProgramLacks(const LaunchOptions& options, const QString& programDir, bool writable)
{
    const LegacyArgument arg1 = legacyArgument(options);
    if (arg1.registration || !programIsInstalled(programDir, writable) ||
        (!arg1.configFile.isEmpty() && !options.programDir.isEmpty()))
        return {};
    return QStringLiteral("installed in %1, so it needs the plant's configuration file as argument 1 and "
                          "--program-dir=DIR (the plant's folder for prog.bak), e.g. serverquirnel "
                          "/srv/serverquirnel/Server/ServerQuirnel.zezad --program-dir=/srv/serverquirnel/Server")
        .arg(QDir::cleanPath(programDir));
}
