// Whole jobs with the real importers behind the scan cycle: a job's three
// files in job mode, and the print-data question of a label-data file.
#include "ImportHelpers.h"

namespace {

// Short labels ("D" + printer) book a placeholder row per piece; full labels ("DE") book none.
const QByteArray kShortLabels = crlf({"KB 001L65000T12", "KTN0001L12350D1", "KTN0002L12350D1"});
const QByteArray kFullLabels = crlf({"KB 001L65000T12", "KTN0001L12350DE11000100000", "KTN0002L12350DE11000200000"});

// Only print rows that hold label text are print data: the placeholders the
// job's own production data books are filled without a question. Yes deletes
// the job's rows before the label file writes.
TEST(PrintQuestion, IsAskedOnlyWhenALabelFileWasReadForTheJobBefore)
{
    const struct {
        LoadMode mode;
        const QByteArray& production;
        const char* before; // the text of J1's print rows 1 to 3 before the job arrives ("": none)
        bool asked;
        const char* after;
    } cases[] = {{LoadMode::Job, kShortLabels, "", false, "1,one;2,two"},
                 {LoadMode::Separate, kFullLabels, "Label:", false, "1,one;2,two;3,Label:3"},
                 {LoadMode::Separate, kFullLabels, "old ", true, "1,one;2,two"},
                 {LoadMode::Job, kFullLabels, "old ", true, "1,one;2,two"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.mode) << c.before);
        readertest::ScanPlant plant;
        plant.ctx.settings.JobLoadMode = c.mode;
        plant.ctx.settings.ExtensionEtikett = QStringLiteral("$et");
        plant.ctx.settings.printerType = PrinterType::Anyone;
        if (*c.before)
            queryRows(plant.jobDatabasePath(),
                      QStringLiteral("INSERT INTO Druckdaten (LosName, TeileNr, Etikettendaten) "
                                     "SELECT 'J1', column1, '%1' || column1 FROM (VALUES (1), (2), (3))")
                          .arg(QLatin1String(c.before)));
        plant.writeJobFile(QStringLiteral("J1.$tx"), c.production);
        plant.writeJobFile(QStringLiteral("J1.$et"), crlf({"ED 0001 one", "ED 0002 two"}));
        plant.prompt.yesNoCancelAnswers = {Answer::Yes};

        ScanCycle(plant.ctx, plant.importer).runOnce();

        EXPECT_EQ(plant.prompt.asked.size(), c.asked ? 1u : 0u); // the print-data question, pinned in PrintDataTest
        EXPECT_EQ(readertest::rowsText(plant.jobDatabasePath(), QStringLiteral("SELECT TeileNr, Etikettendaten FROM "
                                                                               "Druckdaten ORDER BY TeileNr")),
                  QLatin1String(c.after));
        EXPECT_EQ(plant.serverFiles(), QString());
    }
}

// The job's files are read in one cycle and backed up together. Delivered
// again and overridden, its steel data is overridden without a second question.
TEST(JobModeScan, WholeJobIsImportedAndOverriddenWithOneQuestion)
{
    readertest::ScanPlant plant;
    plant.wholeJobs(LoadMode::Job);
    for (const int delivery : {1, 2}) {
        SCOPED_TRACE(delivery);
        plant.writeJobFile(QStringLiteral("J1.$tx"), kShortLabels);
        plant.writeJobFile(QStringLiteral("J1.$et"), crlf({"ED 0000 PRNTyp=4", "ED 0001 ^XA one^XZ", "ED 0002 two"}));
        plant.writeJobFile(QStringLiteral("J1.$sx"), crlf({"KB 001L60000TBST 4711 ", "KTN0001SA1100011180000250101"}));
        plant.prompt.yesNoCancelAnswers = {Answer::No};
        CycleReport report;
        ScanJob(plant.ctx, plant.importer, &report);
        ASSERT_EQ(report.files.size(), 3u);
        EXPECT_FALSE(std::any_of(report.files.begin(), report.files.end(), failsJob));
        const RowsWritten& written = report.files[0].rows;
        EXPECT_EQ(std::tuple(written.jobs, written.bars, written.pieces, report.files[1].rows.printRows),
                  delivery == 1 ? std::tuple(1, 1, 2, 2) : std::tuple(0, 0, 2, 2));
        EXPECT_EQ(plant.serverFiles(), QString());
        EXPECT_EQ(std::tuple(plant.count("StahlLosNamen"), plant.count("StahlTeiledaten"), plant.count("Teiledaten"),
                             plant.count("Druckdaten")),
                  std::tuple(1, 1, 2, 2));
    }
    EXPECT_EQ(plant.prompt.asked.size(), 1u); // the production data's job-exists question only
}

} // namespace
