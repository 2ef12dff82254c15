// A job delivered again and overridden (No at the job-exists question): its
// bars, pieces, machining and steel rows are what the file brings, however
// often it comes. Bars selected again by "KS", and pieces on bars of their
// own, are where a second delivery used to add pieces a second time.
#include "ImportHelpers.h"

namespace {

using readertest::PieceImport;

// Two pieces on bars of their own, a new bar by "KS", a bar by "KB", the
// bars of the "KS" and of the "KB" selected again; machining on every bar.
const QByteArray kBarsOfEveryKind = crlf({
    "KTN0001L01000W0100100",
    "KTN0002L01000",
    "KS 004L60000T12",
    "KTN0004L01000W0100100",
    "KB 003L65000T12",
    "KTN0003L12350SA2100030980000250110SBST 6020 W0100100W0200200",
    "KS 004",
    "KTN0005L01000W0300300",
    "KS 003",
    "KTN0006L01000W0400400",
});

struct Delivery {
    const char* name;
    QByteArray content;
    bool steel;
};
void PrintTo(const Delivery& d, std::ostream* os)
{
    *os << d.name;
}

class Override : public ::testing::TestWithParam<Delivery> {
protected:
    // Every row of the job's tables (without the store's own key), sorted.
    std::string jobRows() const
    {
        const QString prefix = GetParam().steel ? QStringLiteral("Stahl") : QString();
        QStringList rows;
        for (const char* table : {"LosNamen", "Stabdaten", "Teiledaten", "Werkzeugdaten"}) {
            for (QVariantList row : run.rows(QStringLiteral("SELECT * FROM %1%2").arg(prefix, QLatin1String(table)))) {
                row.removeFirst();
                QStringList values;
                for (const QVariant& v : row)
                    values << (v.isNull() ? QStringLiteral("~") : v.toString());
                rows << QLatin1String(table) + u' ' + values.join(u',');
            }
        }
        rows.sort();
        return rows.join(u'\n').toStdString();
    }

    PieceImport run;
};

TEST_P(Override, AJobDeliveredAgainHasTheRowsOfItsFirstDelivery)
{
    const Delivery& d = GetParam();
    run.importBytes(d.content, d.steel, QStringLiteral("A1002"));
    const std::string first = jobRows();
    for (int delivery = 2; delivery <= 3; ++delivery) {
        run.importBytes(d.content, d.steel, QStringLiteral("A1002"));
        EXPECT_EQ(jobRows(), first) << "delivery " << delivery;
    }
    EXPECT_FALSE(run.anyFailed);
}

INSTANTIATE_TEST_SUITE_P(Deliveries, Override,
                         ::testing::Values(Delivery{"BarsOfEveryKind", kBarsOfEveryKind, false},
                                           Delivery{"BarsOfEveryKindAsSteelData", kBarsOfEveryKind, true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
