// The command line: our own options and argument 1.
// Input: the bytes split at line feeds are the argument vector.

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
    const LaunchOptions options = parseLaunchOptions(raw.split(QLatin1Char('\n')));
    (void)runsHeadless(options);
    const QString argument = options.legacyArguments.value(0);
    const LegacyArgument legacy = legacyArgument(options);
    if (legacy.registration && !legacy.configFile.isEmpty())
        wrong("registration with a configuration file", raw);
    // Argument 1 is taken whole: at most the quotes around it go.
    if (!legacy.configFile.isEmpty() && legacy.configFile != argument &&
        QLatin1Char('"') + legacy.configFile + QLatin1Char('"') != argument)
        wrong("configuration file not argument 1", raw);
    return 0;
}
