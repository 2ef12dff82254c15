#pragma once

// The production-data importer on a temporary plant: one import runner for
// single files (PieceImport), one for whole scan cycles (ScanPlant), one row
// reader of the job database (rowsText), and the table of reader cases.

#include "JobPlant.h"
#include "intake/ImportOutcome.h"
#include "intake/JobFiles.h"
#include "intake/ScanCycle.h"
#include "tximport/PlantImporter.h"

#include <QDir>
#include <QFile>
#include <QVariant>

#include <gtest/gtest.h>

#include <vector>

namespace readertest {

// The rows a statement returns as text: columns ",", rows ";", Null "~".
inline QString rowsText(const QString& databasePath, const QString& sql)
{
    QStringList rows;
    for (const QVariantList& row : queryRows(databasePath, sql)) {
        QStringList cols;
        for (const QVariant& v : row)
            cols << (v.isNull() ? QStringLiteral("~") : v.toString());
        rows << cols.join(QLatin1Char(','));
    }
    return rows.join(QLatin1Char(';'));
}

// The real importer on job files of a temporary plant, one file at a time.
class PieceImport {
public:
    // The shipped schema, or one without the print table.
    explicit PieceImport(bool printTable = true)
    {
        plant.createJobDatabase();
        if (!printTable)
            exec(QStringLiteral("DROP TABLE Druckdaten"));
    }

    // Imports "<job>.$tx" (".$sx" in steel mode). A file that failed is asked
    // about, and in separate mode the file is then ended, as the scan cycle does.
    ImportOutcome import(const QByteArray& content, bool steelMode = false, const QString& job = QStringLiteral("J1"))
    {
        return importFile(plant.writeJobFile(job + (steelMode ? ".$sx" : ".$tx"), content), steelMode);
    }
    ImportOutcome importFile(const QString& path, bool steelMode = false)
    {
        ImportOutcome outcome = importer.ImportProductionData(path, steelMode);
        askAboutFailedFile(plant.ctx, outcome);
        if (plant.ctx.settings.separateMode())
            endFile(plant.ctx, importer, outcome);
        anyFailed |= outcome.failed();
        return outcome;
    }

    QVariant value(const QString& sql) const { return queryValue(plant.jobDatabasePath(), sql); }
    void exec(const QString& sql) const { queryRows(plant.jobDatabasePath(), sql); }
    bool inServerDir(const char* name) const { return QFile::exists(plant.serverDir() + '/' + QLatin1String(name)); }

    // The text of the last Retry/Cancel question (or "").
    QString stopBoxText() const
    {
        QString text;
        for (const auto& q : plant.prompt.asked)
            text = q.kind == "RetryCancel" ? q.text : text;
        return text;
    }

    JobPlant plant;
    PlantImporter importer{plant.ctx, plant.job};
    tx::ImportCarry& carry = importer.carry();
    bool anyFailed = false; // some file imported so far failed
};

// A plant the scan cycle runs on with the real importers.
class ScanPlant : public JobPlant {
public:
    ScanPlant()
    {
        createJobDatabase();
        ctx.settings.Extension = QStringLiteral("$tx");
    }
    // A job's three files in the given mode, released on import, labels for Zebra printers.
    void wholeJobs(LoadMode mode)
    {
        Settings& s = ctx.settings;
        s.JobLoadMode = mode;
        s.ExtensionEtikett = QStringLiteral("$et");
        s.ExtensionStahl = QStringLiteral("$sx");
        s.AutoFreigabe = true;
        s.printerType = PrinterType::Zebra;
    }
    // The rows of a table for one job.
    int count(const char* table, const QString& job = QStringLiteral("J1")) const
    {
        const QString sql = QStringLiteral("SELECT COUNT(*) FROM %1 WHERE LosName='%2'");
        return queryValue(jobDatabasePath(), sql.arg(QLatin1String(table), job)).toInt();
    }
    bool inServer(const QString& name) const { return QFile::exists(serverDir() + u'/' + name); }
    bool inBackup(const QString& name) const { return QFile::exists(programDir() + "/prog.bak/" + name); }
    // The server directory's files by name, joined by blanks.
    QString serverFiles() const
    {
        return QDir(serverDir()).entryList(QDir::Files | QDir::System, QDir::Name).join(' ');
    }
    QByteArray errorLog() const { return readFileBytes(clientDir() + QStringLiteral("/error.dat")); }

    PlantImporter importer{ctx, job};
};

// The start of a wrong-code report of job J1.
#define WRONG_ID(line, col) "Job: J1.$tx\r\nLine: " #line "\r\nCol: " #col "\r\nWrong ID: "

constexpr int Steel = 1, JobMode = 2, P3 = 4, F4 = 8, LoadId = 16, Release = 32, Profiles = 64, Raw = 128,
              NoPrint = 256;

// lines: CR LF joined (Raw: as they are); a "--" line imports what came
// before and starts the next file of the same job (asked: No, override).
// expect: query -> rows as text (rowsText); the key "log" is the last
// report, "box" the stop question, "labels" the job's label flag and label
// list, "steel" the job's steel flag and counter list, "carry" the next bar
// and piece IDs of the run. With "log" the import must fail, without it
// succeed.
struct Case {
    const char* name;
    std::vector<const char*> lines;
    std::vector<std::pair<const char*, const char*>> expect;
    int flags = 0;
    void (*setup)(PieceImport&) = nullptr;
};

inline QString result(PieceImport& run, const QString& key)
{
    if (key == QLatin1String("log"))
        return lastReport(run.plant.clientDir());
    if (key == QLatin1String("carry"))
        return QStringLiteral("%1,%2").arg(run.carry.nextBarID).arg(run.carry.nextPieceID);
    if (key == QLatin1String("box"))
        return run.stopBoxText();
    if (key == QLatin1String("profileOpens")) { // openings of the profile database tried; whether it stays open
        const tx::ProfileCache& profiles = run.importer.profileCache();
        return QStringLiteral("%1 %2").arg(profiles.databaseOpens).arg(int(bool(profiles.database)));
    }
    const JobState& job = run.plant.job;
    if (key == QLatin1String("labels"))
        return QStringLiteral("%1 %2").arg(int(job.jobHasLabelData)).arg(job.labelList.text());
    if (key == QLatin1String("steel"))
        return QStringLiteral("%1 %2").arg(int(job.jobHasSteelData)).arg(job.pvcPieceNumbers.text());
    return rowsText(run.plant.jobDatabasePath(), key);
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
            run.import(content, c.flags & Steel);
            content.clear();
            continue;
        }
        content += line;
        if (!(c.flags & Raw))
            content += "\r\n";
    }
    run.import(content, c.flags & Steel);
    bool expectsFailure = false;
    for (const auto& [key, expected] : c.expect) {
        expectsFailure |= qstrcmp(key, "log") == 0;
        EXPECT_EQ(result(run, QString::fromUtf8(key)).toStdString(), expected) << key;
    }
    EXPECT_EQ(run.anyFailed, expectsFailure) << lastReport(run.plant.clientDir()).toStdString();
}

} // namespace readertest

// A parameterised suite over an array of cases.
#define READER_CASES(Suite, cases)                                                                                     \
    class Suite : public ::testing::TestWithParam<readertest::Case> {};                                                \
    TEST_P(Suite, Imports)                                                                                             \
    {                                                                                                                  \
        readertest::check(GetParam());                                                                                 \
    }                                                                                                                  \
    INSTANTIATE_TEST_SUITE_P(Cases, Suite, ::testing::ValuesIn(cases),                                                 \
                             [](const auto& i) { return std::string(i.param.name); })
