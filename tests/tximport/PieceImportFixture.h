#pragma once

#include "JobPlant.h"
#include "intake/ImportOutcome.h"
#include "tximport/PlantImporter.h"

#include <QVariant>

// The real production-data importer on job files of a temporary plant; rows read back with SQL.
namespace piecetest {

class PieceImport {
public:
    // The shipped schema, or one without the print table.
    explicit PieceImport(bool printTable = true);

    // Imports "<job>.$tx" (".$sx" in steel mode); lines are joined by CR LF.
    // A file that failed is asked about, and in separate mode the file is
    // then ended, as the scan cycle does.
    ImportOutcome import(std::initializer_list<QByteArray> lines, bool steelMode = false,
                         const QString& job = QStringLiteral("J1"));
    ImportOutcome importBytes(const QByteArray& content, bool steelMode = false,
                              const QString& job = QStringLiteral("J1"));
    ImportOutcome importFile(const QString& path, bool steelMode = false);

    // First column of the first row (Null when none), all rows, or no result.
    QVariant value(const QString& sql) const { return queryValue(plant.jobDatabasePath(), sql); }
    QList<QVariantList> rows(const QString& sql) const { return queryRows(plant.jobDatabasePath(), sql); }
    void exec(const QString& sql) const { rows(sql); }

    // The text of the last Retry/Cancel question (or "").
    QString stopBoxText() const;

    JobPlant plant;
    PlantImporter importer{plant.ctx, plant.job};
    tx::ImportCarry& carry = importer.carry();
    bool anyFailed = false; // some file imported so far failed
};

} // namespace piecetest
