// The print-data question of a label-data file, in both load modes, with the
// real importers behind the scan cycle: only print rows that hold label text
// are print data; the placeholders the job's own production data books are
// filled without a question.
#include "ImportHelpers.h"

namespace {

// Short labels ("D" + printer) book a placeholder row per piece; full labels
// ("DE") book none.
const QByteArray kShortLabels = crlf({"KB 001L65000T12", "KTN0001L12350D1", "KTN0002L12350D1"});
const QByteArray kFullLabels = crlf({"KB 001L65000T12", "KTN0001L12350DE11000100000", "KTN0002L12350DE11000200000"});
const QByteArray kLabels = crlf({"ED 0001 one", "ED 0002 two"});

struct QuestionCase {
    const char* name;
    int loadMode;
    const QByteArray& production;
    const char* before; // print rows of J1 before the job arrives: "" none, "placeholder", "labelText"
    bool asked;
};

void PrintTo(const QuestionCase& c, std::ostream* os)
{
    *os << c.name;
}

class PrintQuestion : public ::testing::TestWithParam<QuestionCase> {};

TEST_P(PrintQuestion, IsAskedOnlyWhenALabelFileWasReadForTheJobBefore)
{
    const QuestionCase& c = GetParam();
    readertest::ScanPlant plant;
    Settings& s = plant.ctx.settings;
    s.JobLoadMode = static_cast<LoadMode>(c.loadMode);
    s.ExtensionEtikett = QStringLiteral("$et");
    s.printerType = PrinterType::Anyone;
    const QString before = QLatin1String(c.before);
    for (int piece : {1, 2, 3}) {
        if (before.isEmpty())
            break;
        const QString text = before == QLatin1String("placeholder") ? QStringLiteral("Label:%1").arg(piece)
                                                                    : QStringLiteral("old %1").arg(piece);
        queryRows(plant.jobDatabasePath(),
                  QStringLiteral("INSERT INTO Druckdaten (LosName, TeileNr, Etikettendaten) VALUES ('J1', %1, '%2')")
                      .arg(piece)
                      .arg(text));
    }
    plant.writeJobFile(QStringLiteral("J1.$tx"), c.production);
    plant.writeJobFile(QStringLiteral("J1.$et"), kLabels);
    plant.prompt.yesNoCancelAnswers = {Answer::Yes};

    ScanCycle(plant.ctx, plant.importer).runOnce();

    QStringList asked;
    for (const ScriptedPrompt::Question& q : plant.prompt.asked)
        asked << q.title + u'|' + q.text;
    EXPECT_EQ(asked, c.asked ? QStringList{QStringLiteral("$ET-VOV Server|Printdata: J1 exists !\r\n"
                                                          "Delete Data = Yes / Override Data = No")}
                             : QStringList());
    // Yes deletes the job's rows before the file writes; without the
    // question the file fills the rows that are there.
    const bool thirdKept = !before.isEmpty() && !c.asked;
    EXPECT_EQ(readertest::rowsText(plant.jobDatabasePath(), QStringLiteral("SELECT TeileNr || '=' || Etikettendaten "
                                                                           "FROM Druckdaten WHERE LosName = 'J1' "
                                                                           "ORDER BY TeileNr"))
                  .replace(u';', u' '),
              QStringLiteral("1=one 2=two") +
                  (thirdKept
                       ? QStringLiteral(" 3=") + (before == QLatin1String("placeholder") ? QStringLiteral("Label:3")
                                                                                         : QStringLiteral("old 3"))
                       : QString()));
    EXPECT_EQ(plant.serverFiles(), QString());
}

INSTANTIATE_TEST_SUITE_P(Jobs, PrintQuestion,
                         ::testing::Values(QuestionCase{"NewJobSeparateMode", 0, kShortLabels, "", false},
                                           QuestionCase{"NewJobJobMode", 1, kShortLabels, "", false},
                                           QuestionCase{"PlaceholdersOfAnEarlierImport", 0, kFullLabels, "placeholder",
                                                        false},
                                           QuestionCase{"LabelTextSeparateMode", 0, kFullLabels, "labelText", true},
                                           QuestionCase{"LabelTextJobMode", 1, kFullLabels, "labelText", true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
