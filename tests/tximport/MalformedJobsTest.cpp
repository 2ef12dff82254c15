// The corpus of malformed job files in tests/data/malformed: every report
// variant with its exact text, line and column, the stop box, and the file
// set aside after Cancel.

#include "ImportHelpers.h"

namespace {

using readertest::PieceImport;

const QString kDataDir = QStringLiteral(VOV_TEST_DATA_DIR "/malformed");

struct MalformedCase {
    const char* file;
    const char* report;  // the log entry after "Job: <file>" CRLF
    const char* boxText; // the error text in the stop box
};

const MalformedCase kCases[] = {
    {"wrong_id_bar.$tx", "Line: 2\r\nCol: 13\r\nWrong ID: <X1234>", nullptr},
    {"bar_steel_without_b.$tx", "Line: 1\r\nCol: 7\r\nWrong ID: <SX12345678>", nullptr},
    {"bar_unknown_cp1252.$tx", "Line: 1\r\nCol: 13\r\nWrong ID: <\u00b0X>", nullptr},
    {"piece_unknown_letter.$tx", "Line: 2\r\nCol: 16\r\nWrong ID: <Z1234567890123456789 ... >", nullptr},
    {"selection_unknown_letter.$tx", "Line: 1\r\nCol: 13\r\nWrong ID: < TB ... >", nullptr},
    {"remnant_unknown_letter.$tx", "Line: 2\r\nCol: 8\r\nWrong ID: < L01500 ... >", nullptr},
    {"wrong_piece_number.$tx", "Wrong PieceNo.:0000\r\nLine:2\r\nCol: 1\r\nSel: 0000\r\nBuf:K1234567",
     "Wromg PieceNo.:0000"},
    {"wrong_bar_text.$tx",
     "Wrong BarNo.:A1B\r\nLine:1\r\nCol: 1\r\nSel: A1B\r\nBuf:L01000\r\nData type conversion error.",
     "Wrong BarNo.:A1B\r\nData type conversion error."},
    {"selection_bar_not_number.$tx", "Wrong BarNo.:abc\r\nLine:1\r\nCol: 1\r\nSel: abc\r\nBuf: abc\r\nType mismatch",
     "Wrong BarNo.:abc\r\nType mismatch"},
    {"remnant_wrong_number.$tx", "Wrong RestPieceNo.:0000\r\nLine:2\r\nCol: 3\r\nSel: 0000\r\nBuf:L01000",
     "Wromg RestPieceNo.:0000"},
    {"selection_missing_profile.$tx",
     "Piece:0\r\nLine:2\r\nCol: 1\r\nSel: 007\r\nBuf: 007\r\nMissing profil data in KB-Data",
     "Missing profil data in KB-Data"},
};

// Every file of the corpus, which needs its expected report here.
TEST(MalformedJob, ReportsStopsAndSetsTheFileAside)
{
    QStringList files = QDir(kDataDir).entryList({QStringLiteral("*.$tx")}, QDir::Files);
    ASSERT_EQ(files.size(), std::size(kCases));
    for (const MalformedCase& c : kCases) {
        const QString name = QString::fromUtf8(c.file);
        SCOPED_TRACE(c.file);
        EXPECT_TRUE(files.removeOne(name)) << "not in the corpus";
        PieceImport run;
        const QString path = run.plant.writeJobFile(name, readFileBytes(kDataDir + QLatin1Char('/') + name));
        const ImportOutcome outcome = run.importFile(path);

        const QString report = QString::fromUtf8(c.report);
        EXPECT_EQ(lastReport(run.plant.clientDir()), QStringLiteral("Job: ") + name + QStringLiteral("\r\n") + report);
        EXPECT_EQ(run.stopBoxText(), QStringLiteral("Job: ") + name + QStringLiteral(" not correct loaded!!\r\n\r\n") +
                                         (c.boxText ? QString::fromUtf8(c.boxText) : report) + QStringLiteral("\r\n"));
        EXPECT_EQ(run.plant.prompt.asked.back().title, QStringLiteral("$TX-VOV Server"));
        EXPECT_EQ(outcome.result, ImportResult::SetAside);
        EXPECT_TRUE(QFile::exists(path + QStringLiteral(".$er")) && !QFile::exists(path));
        EXPECT_EQ(run.value(QStringLiteral("SELECT (SELECT COUNT(*) FROM LosNamen) + COUNT(*) FROM Stabdaten")).toInt(),
                  0);
    }
}

} // namespace
