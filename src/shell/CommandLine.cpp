#include "shell/CommandLine.h"

#include "platform/OperatorPrompt.h"

QStringList SplitCommandLine(const QString& raw, int maxCount)
{
    QStringList args{QString()};
    QString current;
    bool inArgument = false;
    for (const QChar c : raw) {
        if (c == u' ' || c == u'\t') {
            if (inArgument) {
                args << current;
                current.clear();
                inArgument = false;
                if (args.size() - 1 >= maxCount)
                    return args;
            }
            continue;
        }
        current += c;
        inArgument = true;
    }
    if (inArgument && args.size() - 1 < maxCount)
        args << current;
    return args;
}

LegacyArgument interpretArgument1(const QStringList& split)
{
    LegacyArgument result;
    if (split.size() < 2 || split.at(1).isEmpty())
        return result;
    const QString arg = split.at(1);
    const QString upper = arg.toUpper();
    if (upper == QLatin1String("-REGSERVER") || upper == QLatin1String("/REGSERVER"))
        result.registration = true;
    if (arg.size() > 5 && upper.contains(QLatin1String(".ZEZAD"))) {
        QString path = arg;
        if (path.startsWith(u'"'))
            path.remove(0, 1);
        // A closing quote at position 2 or later ends the name.
        const qsizetype quote = path.indexOf(u'"', 1);
        if (quote >= 1)
            path.truncate(quote);
        result.configFile = path;
    }
    return result;
}

namespace {

bool takeValue(const QString& arg, const QString& name, QString* value)
{
    const QString prefix = name + QLatin1Char('=');
    if (!arg.startsWith(prefix))
        return false;
    *value = arg.mid(prefix.size());
    return true;
}

} // namespace

LaunchOptions parseLaunchOptions(const QStringList& arguments)
{
    LaunchOptions o;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        QString value;
        bool ok = true;
        if (!arg.startsWith(QLatin1String("--"))) {
            o.legacyArguments << arg;
        } else if (arg == QLatin1String("--headless")) {
            o.headless = true;
        } else if (arg == QLatin1String("--once")) {
            o.once = true;
        } else if (arg == QLatin1String("--init-db")) {
            o.initDb = true;
            if (i + 1 < arguments.size())
                o.initDbDir = arguments.at(++i);
            else
                o.warnings << QStringLiteral("--init-db needs a directory");
        } else if (takeValue(arg, QStringLiteral("--answer-exists"), &value)) {
            o.answerExists = PolicyPrompt::parseExistsAnswer(value, &ok);
            o.answerExistsGiven = ok;
            if (!ok)
                o.warnings << QStringLiteral("--answer-exists takes yes, no or cancel; using no");
        } else if (takeValue(arg, QStringLiteral("--answer-failed"), &value)) {
            o.answerFailed = PolicyPrompt::parseFailedAnswer(value, &ok);
            o.answerFailedGiven = ok;
            if (!ok)
                o.warnings << QStringLiteral("--answer-failed takes retry or cancel; using cancel");
        } else {
            o.warnings << QStringLiteral("unknown option ignored: %1").arg(arg);
        }
    }
    return o;
}

QString rawLegacyCommandLine(const LaunchOptions& options) { return options.legacyArguments.join(QLatin1Char(' ')); }

bool runsHeadless(const LaunchOptions& options)
{
    return options.headless || options.initDb
           || interpretArgument1(SplitCommandLine(rawLegacyCommandLine(options))).registration;
}
