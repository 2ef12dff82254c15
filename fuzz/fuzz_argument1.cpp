// The command line: the legacy split and argument 1, and our own options.
// Input: the raw legacy command line; the same bytes split at line feeds are
// the argument vector for the option parser.

#include "shell/CommandLine.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void wrong(const char* what, const QString& text)
{
    std::fprintf(stderr, "command line: %s: [%s]\n", what, qPrintable(text));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString raw = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const QStringList split = SplitCommandLine(raw);
    if (split.isEmpty() || !split.first().isEmpty() || split.size() > 11)
        wrong("split shape", raw);
    for (qsizetype i = 1; i < split.size(); ++i)
        if (split.at(i).isEmpty() || split.at(i).contains(QLatin1Char(' ')) || split.at(i).contains(QLatin1Char('\t')))
            wrong("split argument", raw);
    const LegacyArgument legacy = interpretArgument1(split);
    if (legacy.registration && !legacy.configFile.isEmpty())
        wrong("registration with a configuration file", raw);

    QStringList arguments{QStringLiteral("serverquirnel")};
    arguments += raw.split(QLatin1Char('\n'));
    const LaunchOptions options = parseLaunchOptions(arguments);
    (void)rawLegacyCommandLine(options);
    (void)runsHeadless(options);
    (void)interpretArgument1(SplitCommandLine(rawLegacyCommandLine(options)));
    return 0;
}
