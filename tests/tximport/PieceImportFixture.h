#pragma once

#include "TestSupport.h"
#include "tximport/JobDatabase.h"
#include "tximport/ProfileLookup.h"

#include <QVariant>

#include <map>
#include <string>

// The real production-data importer on job files of a temporary plant; rows read back with SQL.
namespace piecetest {

// The shipped schema, or one without the angle-ID columns or the print table.
enum class Schema { Full, NoAngleIds, NoPrintTable };

class PieceImport {
public:
    explicit PieceImport(Schema schema = Schema::Full);

    // Imports "<job>.$tx" (".$sx" in steel mode); lines are joined by CR LF.
    void import(std::initializer_list<QByteArray> lines, bool steelMode = false,
                const QString& job = QStringLiteral("J1"));
    void importBytes(const QByteArray& content, bool steelMode = false, const QString& job = QStringLiteral("J1"));

    // One column of the piece row or of the bar row.
    QVariant piece(const QString& column, int pieceNo = 1, bool steelMode = false) const;
    QVariant bar(const QString& column, int barNo, bool steelMode = false) const;
    // First column of the first row (Null when none), all rows, or no result.
    QVariant value(const QString& sql) const;
    QList<QVariantList> rows(const QString& sql) const;
    void exec(const QString& sql) const { rows(sql); }

    // The text of the last Retry/Cancel question (or ""), and the latest report.
    QString stopBoxText() const;
    QString lastReport() const;

    TestPlant plant;
    tx::ImportCarry carry;
    tx::ProfileCache profiles;
};

QByteArray field(const QByteArray& value, int width); // fixed width, so that test data keeps its columns
// "SA" + selection + lane + number(4) + length(5) + depth(5) + steel number(3).
QByteArray sa(char selection, char lane, const char* number, const char* length, const char* depth,
              const char* steelNumber);

// A Null want expects Null, a string the text, anything else the number.
inline const QVariant Null;
void expectValue(const QVariant& got, const QVariant& want, const std::string& what);
// Columns of one piece row; a key beginning "SELECT" is a query of its own.
using Columns = std::map<std::string, QVariant>;
void expectColumns(const PieceImport& run, const Columns& columns, int pieceNo = 1, bool steelMode = false);

} // namespace piecetest
