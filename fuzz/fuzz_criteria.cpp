// The criteria strings of the store. Two checks beside the sanitizers: any
// text parses or fails without harm, and a job name put between quotes
// comes back as exactly that value, or, when it holds a quote, is refused.

#include "platform/db/Criteria.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

[[noreturn]] void wrong(const char* what, const QString& text)
{
    std::fprintf(stderr, "criteria: %s: [%s]\n", what, qPrintable(text));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    {
        std::vector<db::CriteriaTerm> terms;
        PendingError err;
        const bool ok = db::parseCriteria(text, terms, err);
        if (ok == err.pending())
            wrong("result and error disagree", text);
    }

    std::vector<db::CriteriaTerm> terms;
    PendingError err;
    const QString criteria = QStringLiteral("LosName=") + db::quoted(text) + QStringLiteral(" and StabNr=7");
    const bool ok = db::parseCriteria(criteria, terms, err);
    if (text.contains(QLatin1Char('\''))) {
        if (ok)
            wrong("a job name with a quote was accepted", text);
        return 0;
    }
    if (!ok)
        wrong("a quoted job name was refused", text);
    if (terms.size() != 2 || terms[0].column != QLatin1String("LosName") || terms[0].value.toString() != text ||
        terms[1].column != QLatin1String("StabNr") || terms[1].value.toLongLong() != 7)
        wrong("a quoted job name came back changed", text);
    return 0;
}
