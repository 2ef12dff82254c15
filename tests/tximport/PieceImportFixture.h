#pragma once

#include "TestSupport.h"
#include "tximport/JobDatabase.h"
#include "tximport/ProfileLookup.h"

#include <QString>
#include <QVariant>

#include <functional>

// Runs the real production-data importer on job files of a temporary plant
// and reads the rows back with plain SQL, for the piece sub-field tests.
namespace piecetest {

// Job database variants: the shipped schema, or one without the angle-ID
// columns or without the print-data table.
enum class Schema { Full, NoAngleIds, NoPrintTable };

class PieceImport {
public:
    explicit PieceImport(Schema schema = Schema::Full);

    // Imports "<job>.$tx" (or ".$sx" in steel mode) with the given lines
    // joined by CR LF.
    void import(std::initializer_list<QByteArray> lines, bool steelMode = false,
                const QString& job = QStringLiteral("J1"));
    void importBytes(const QByteArray& content, bool steelMode = false, const QString& job = QStringLiteral("J1"));

    // One column of the piece row (Teiledaten / StahlTeiledaten).
    QVariant piece(const QString& column, int pieceNo = 1, bool steelMode = false) const;
    // One column of the bar row.
    QVariant bar(const QString& column, int barNo, bool steelMode = false) const;
    // The first column of the first row of a query (Null when none).
    QVariant value(const QString& sql) const;
    // All rows of a query.
    QList<QVariantList> rows(const QString& sql) const;
    void exec(const QString& sql) const;

    // The text of the last Retry/Cancel question (the stop box), or "".
    QString stopBoxText() const;
    // The latest report ($TXerror.dat).
    QString lastReport() const;

    TestPlant plant;
    tx::ImportCarry carry;
    tx::ProfileCache profiles;
};

// Fixed-width builders, so that test data keeps its columns.
QByteArray field(const QByteArray& value, int width);
// "SA" + selection + lane + number(4) + length(5) + depth(5) + steel number(3).
QByteArray sa(char selection, char lane, const char* number, const char* length, const char* depth,
              const char* steelNumber);

} // namespace piecetest
