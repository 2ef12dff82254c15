#pragma once

#include "TestSupport.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

// A temporary plant with a job database, and plain SQL to look into
// Druckdaten beside the store layer under test.
namespace ettest {

struct PrintRow {
    QVariant label;  // Etikettendaten
    QVariant inkJet; // Tintendruckdaten
};

class PrintFixture {
public:
    PrintFixture();

    void exec(const QString& sql) const;
    [[nodiscard]] QVariant value(const QString& sql) const;
    // The job's print rows by piece number.
    [[nodiscard]] QMap<int, PrintRow> rows(const QString& job) const;
    [[nodiscard]] int rowCount(const QString& job) const;
    // A print row as the production-data import leaves it.
    void addPrintRow(const QString& job, int piece, const QString& label) const;
    // The latest report ($TXerror.dat) without the quotes of its log field.
    [[nodiscard]] QString lastReport() const;

    TestPlant plant;
};

} // namespace ettest
