#pragma once

#include "JobPlant.h"
#include "platform/Text.h"

#include <QFile>

#include <gtest/gtest.h>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline QString qs(const char* text)
{
    return QString::fromUtf8(text);
}
const QString Job = qs("A1");
const QString ExistsQuestion =
    qs("YesNoCancel|$ET-VOV Server|Printdata: A1 exists !\r\nDelete Data = Yes / Override Data = No");

// A temporary plant with a job database; plain SQL looks into it beside the store layer under test.
class PrintTest : public ::testing::Test {
protected:
    PrintTest()
    {
        plant.createJobDatabase();
        plant.ctx.settings.ExtensionEtikett = qs("$et");
    }
    // The first column of each row the statement returns.
    QStringList query(const QString& sql) const
    {
        QStringList rows;
        for (const QVariantList& row : queryRows(plant.jobDatabasePath(), sql))
            rows << row.value(0).toString();
        return rows;
    }
    // The job's print rows by piece: "<piece> E=<label> T=<ink-jet text>", Null columns left out.
    [[nodiscard]] QString printRows(const QString& job) const
    {
        return query(qs("SELECT TeileNr || coalesce(' E=' || Etikettendaten, '') || coalesce(' T=' || "
                        "Tintendruckdaten, '') FROM Druckdaten WHERE LosName='%1' ORDER BY TeileNr")
                         .arg(job))
            .join(qs(" | "));
    }
    // A print row as the production-data import leaves it.
    void addPrintRow(const QString& job, int piece, const char* label) const
    {
        query(qs("INSERT INTO Druckdaten (LosName, TeileNr, Etikettendaten) VALUES ('%1', %2, '%3')")
                  .arg(job, QString::number(piece), qs(label)));
    }
    // The questions asked, "kind|title|text" each.
    [[nodiscard]] QStringList asked() const
    {
        QStringList out;
        for (const ScriptedPrompt::Question& q : plant.prompt.asked)
            out << q.kind + '|' + q.title + '|' + q.text;
        return out;
    }
    // The latest report ($TXerror.dat) without the quotes of its log field.
    [[nodiscard]] QString lastReport() const
    {
        const QByteArray bytes = readFileBytes(plant.clientDir() + qs("/$TXerror.dat"));
        return text::fromCp1252(bytes.startsWith('"') ? bytes.mid(1, bytes.size() - 4) : bytes);
    }

    JobPlant plant;
};
