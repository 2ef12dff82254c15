#pragma once

// Table-driven import cases shared by the reader tests: one row imports one
// or more files through the real importer and compares query results.

#include "PieceImportFixture.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <vector>

namespace readertest {

using piecetest::PieceImport;

// The latest report as written to $TXerror.dat, without its quotes.
inline QString lastLogMessage(const PieceImport& run)
{
    QByteArray bytes = readFileBytes(run.plant.clientDir() + QStringLiteral("/$TXerror.dat"));
    if (bytes.endsWith("\r\n"))
        bytes.chop(2);
    if (bytes.size() >= 2 && bytes.startsWith('"') && bytes.endsWith('"'))
        bytes = bytes.mid(1, bytes.size() - 2);
    return text::fromCp1252(bytes);
}

enum Flag {
    Steel = 1,
    JobMode = 2,
    P3 = 4,
    F4 = 8,
    LoadId = 16,
    Release = 32,
    Profiles = 64,
    Raw = 128,
    NoPrint = 256
};

// lines: CR LF joined (Raw: as they are); a "--" line imports what came
// before and starts the next file of the same job (asked: No, override).
// expect: query -> rows as text (columns ",", rows ";", Null "~"); the key
// "log" is the last report, "box" the stop question, "labels" the job's
// label flag and label list, "steel" the job's steel flag and counter list,
// "carry" the next bar and piece IDs of the run. With "log" the import must
// fail, without it succeed.
struct Case {
    const char* name;
    std::vector<const char*> lines;
    std::vector<std::pair<const char*, const char*>> expect;
    int flags = 0;
    void (*setup)(PieceImport&) = nullptr;
};

inline QString result(const PieceImport& run, const QString& key)
{
    if (key == QLatin1String("log"))
        return lastLogMessage(run);
    if (key == QLatin1String("carry"))
        return QStringLiteral("%1,%2").arg(run.carry.nextBarID).arg(run.carry.nextPieceID);
    if (key == QLatin1String("box"))
        return run.stopBoxText();
    const JobState& job = run.plant.job;
    if (key == QLatin1String("labels"))
        return QStringLiteral("%1 %2").arg(int(job.jobHasLabelData)).arg(job.labelList.text());
    if (key == QLatin1String("steel"))
        return QStringLiteral("%1 %2").arg(int(job.jobHasSteelData)).arg(job.pvcPieceNumbers.text());
    QStringList rows;
    for (const QVariantList& row : run.rows(key)) {
        QStringList cols;
        for (const QVariant& v : row)
            cols << (v.isNull() ? QStringLiteral("~") : v.toString());
        rows << cols.join(QLatin1Char(','));
    }
    return rows.join(QLatin1Char(';'));
}

inline void check(const Case& c)
{
    PieceImport run(!(c.flags & NoPrint));
    auto& s = run.plant.ctx.settings;
    s.JobLoadMode = c.flags & JobMode ? LoadMode::Job : LoadMode::Separate;
    s.ProfNum3Digit = c.flags & P3;
    s.FachNum4Digit = c.flags & F4;
    s.GenLoadID = c.flags & LoadId;
    s.AutoFreigabe = c.flags & Release;
    if (c.flags & Profiles)
        run.plant.createProfileDatabase({{12, QStringLiteral("PVC 12")}, {123, QStringLiteral("PVC 123")}});
    if (c.setup)
        c.setup(run);
    QByteArray content;
    for (const char* line : c.lines) {
        if (qstrcmp(line, "--") == 0) {
            run.importBytes(content, c.flags & Steel);
            content.clear();
            continue;
        }
        content += line;
        if (!(c.flags & Raw))
            content += "\r\n";
    }
    run.importBytes(content, c.flags & Steel);
    bool expectsFailure = false;
    for (const auto& [key, expected] : c.expect) {
        expectsFailure |= qstrcmp(key, "log") == 0;
        EXPECT_EQ(result(run, QString::fromUtf8(key)), QString::fromUtf8(expected)) << key;
    }
    EXPECT_EQ(run.anyFailed, expectsFailure) << lastLogMessage(run).toStdString();
}

inline void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}
inline std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    return info.param.name;
}

} // namespace readertest

// One parameterised suite per record kind over an array of cases.
#define READER_CASES(Suite, cases)                                                                                     \
    class Suite : public ::testing::TestWithParam<readertest::Case> {};                                                \
    TEST_P(Suite, Imports)                                                                                             \
    {                                                                                                                  \
        readertest::check(GetParam());                                                                                 \
    }                                                                                                                  \
    INSTANTIATE_TEST_SUITE_P(Cases, Suite, ::testing::ValuesIn(cases), readertest::caseName)

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
