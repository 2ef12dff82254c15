#include "intake/ImportLedger.h"

#include "SchemaSql.h"
#include "config/ServerContext.h"
#include "intake/FileHandling.h"
#include "platform/FileOps.h"
#include "platform/PendingError.h"
#include "config/JobDatabaseLocation.h"
#include "platform/db/Database.h"

#include <QFile>
#include <QFileInfo>

#include <openssl/evp.h>

namespace {

const QString kPending = QStringLiteral("pending");
const QString kLoaded = QStringLiteral("loaded");
const QString kSetAside = QStringLiteral("set aside");

QString kindName(FileKind kind)
{
    switch (kind) {
    case FileKind::Label:
        return QStringLiteral("label");
    case FileKind::Steel:
        return QStringLiteral("steel");
    case FileKind::Production:
        break;
    }
    return QStringLiteral("production");
}

bool openLedger(const ServerContext& ctx, db::Database& database, db::Database::Transaction tx)
{
    if (ctx.settings.clientDir.isEmpty())
        return false;
    PendingError err;
    return openJobDatabase(ctx, database, err, tx);
}

struct PendingRow {
    FileIdentity file;
    bool loaded = true;
    bool production = false; // production or steel data: a backup sets the release flag
};

std::vector<PendingRow> pendingRows(db::Database& database)
{
    std::vector<QVariantList> rows;
    PendingError err;
    database.execute(QStringLiteral("SELECT \"FileName\", \"FileSize\", \"FileTime\", \"Sha256\", \"Outcome\", "
                                    "\"Kind\" FROM \"ImportLedger\" WHERE \"State\" = ? ORDER BY \"RowKey\""),
                     {kPending}, err, &rows);
    std::vector<PendingRow> pending;
    for (const QVariantList& r : rows) {
        PendingRow p;
        p.file = {r.at(0).toString(), r.at(1).toLongLong(), r.at(2).toLongLong(), r.at(3).toString().toLatin1()};
        p.loaded = r.at(4).toString() == kLoaded;
        p.production = r.at(5).toString() != QStringLiteral("label");
        pending.push_back(p);
    }
    return pending;
}

// A pending row's file is moved only while it is the very file the row
// was written for: a file delivered again since is a new delivery.
bool stillTheFileOf(const QString& path, const FileIdentity& recorded)
{
    const QFileInfo fi(path);
    if (!fi.isFile() || fi.isSymLink() || fi.size() != recorded.size ||
        fi.lastModified().toMSecsSinceEpoch() != recorded.modifiedMs)
        return false;
    return identifyFile(path) == recorded;
}

} // namespace

FileIdentity identifyFile(const QString& path)
{
    FileIdentity id;
    QFile file;
    if (fileops::openRegularFile(file, path) != fileops::OpenResult::Opened)
        return id;
    // The crypto library's SHA-256 (with the processor's SHA instructions
    // where it has them): a file is hashed at a small fraction of its import.
    EVP_MD_CTX* hash = EVP_MD_CTX_new();
    bool ok = hash && EVP_DigestInit_ex(hash, EVP_sha256(), nullptr) == 1;
    char buffer[64 * 1024];
    qint64 total = 0;
    while (ok) {
        const qint64 n = file.read(buffer, sizeof buffer);
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = EVP_DigestUpdate(hash, buffer, size_t(n)) == 1;
        total += n;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    ok = ok && EVP_DigestFinal_ex(hash, digest, &digestLength) == 1;
    EVP_MD_CTX_free(hash);
    if (!ok)
        return id;
    id.name = fileops::fileName(path);
    id.size = total;
    id.modifiedMs = QFileInfo(fileops::nativePath(path)).lastModified().toMSecsSinceEpoch();
    id.sha256 = QByteArray(reinterpret_cast<const char*>(digest), int(digestLength)).toHex();
    return id;
}

LedgerEntry ledgerEntry(const QString& path, const QString& jobName, FileKind kind, LedgerOutcome outcome)
{
    return {identifyFile(path), jobName, kind, outcome};
}

bool recordInLedger(db::Database& database, const std::vector<LedgerEntry>& entries, const QDateTime& takenAt,
                    PendingError& err)
{
    for (const LedgerEntry& e : entries) {
        if (!e.file.known())
            continue;
        if (!database.execute(QStringLiteral("INSERT INTO \"ImportLedger\" (\"FileName\", \"FileSize\", \"FileTime\", "
                                             "\"Sha256\", \"LosName\", \"Kind\", \"Outcome\", \"State\", \"TakenAt\") "
                                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                              {e.file.name, e.file.size, e.file.modifiedMs, QString::fromLatin1(e.file.sha256),
                               e.jobName, kindName(e.kind), e.outcome == LedgerOutcome::Loaded ? kLoaded : kSetAside,
                               kPending, takenAt},
                              err))
            return false;
    }
    return true;
}

bool hasLedgerTables(db::Database& database, bool& present, PendingError& err)
{
    // Asked through the store layer, which finds a table the same way on
    // every engine: a missing one raises 3078.
    present = true;
    for (const QString& table : {QStringLiteral("ImportLedger"), QStringLiteral("ImportQueue")}) {
        PendingError missing;
        (void)database.newRow(table, missing);
        if (missing.number == ErrorNumber::TableNotFound) {
            present = false;
        } else if (missing.pending()) {
            err = missing;
            return false;
        }
    }
    return true;
}

bool ensureLedgerTables(db::Database& database, bool& created, PendingError& err)
{
    created = false;
    bool present = false;
    if (!hasLedgerTables(database, present, err))
        return false;
    if (present)
        return true;
    for (const QString& sql : schema::importLedgerSql())
        if (!database.executeFixed(sql, err))
            return false;
    created = true;
    return true;
}

QStringList settleLedger(ServerContext& ctx)
{
    QStringList moved;
    db::Database database;
    if (ctx.settings.serverDir.isEmpty() || !openLedger(ctx, database, db::Database::Transaction::PerCall))
        return moved;
    const std::vector<PendingRow> pending = pendingRows(database);
    if (pending.empty())
        return moved;
    bool backedUpJobData = false;
    for (const PendingRow& row : pending) {
        const QString path = fileops::joinPath(ctx.settings.serverDir, row.file.name);
        if (!stillTheFileOf(path, row.file))
            continue; // moved before, or a new delivery of the same name
        if (row.loaded)
            BackupFile(ctx, path);
        else
            MakeErrorCopy(ctx, path, false);
        if (QFileInfo::exists(path))
            continue;
        moved << row.file.name;
        backedUpJobData = backedUpJobData || (row.loaded && row.production);
    }
    if (backedUpJobData)
        SetReleaseFlag(ctx);
    PendingError err;
    if (database.execute(QStringLiteral("UPDATE \"ImportLedger\" SET \"State\" = 'settled' WHERE \"State\" = ?"),
                         {kPending}, err))
        (void)database.commit(err);
    return moved;
}

bool setAsideThroughLedger(ServerContext& ctx, const std::vector<LedgerEntry>& entries)
{
    db::Database database;
    if (!openLedger(ctx, database, db::Database::Transaction::PerCall))
        return false;
    PendingError err;
    if (!recordInLedger(database, entries, ctx.clock.now(), err) || !database.commit(err))
        return false;
    settleLedger(ctx);
    return true;
}

void purgeSetAsideRows(const ServerContext& ctx, const QDateTime& takenBefore)
{
    db::Database database;
    if (!openLedger(ctx, database, db::Database::Transaction::AutoCommit))
        return;
    PendingError err;
    database.execute(QStringLiteral("DELETE FROM \"ImportLedger\" WHERE \"Outcome\" = ? AND \"State\" = 'settled' "
                                    "AND \"TakenAt\" < ?"),
                     {kSetAside, takenBefore}, err);
}

QString storedResumePoint(db::Database& database, FileKind kind)
{
    std::vector<QVariantList> rows;
    PendingError err;
    database.execute(QStringLiteral("SELECT \"ResumeAfter\" FROM \"ImportQueue\" WHERE \"Kind\" = ?"), {kindName(kind)},
                     err, &rows);
    return rows.empty() ? QString() : rows.front().at(0).toString();
}

void storeResumePoint(const ServerContext& ctx, FileKind kind, const QString& name)
{
    db::Database database;
    if (!openLedger(ctx, database, db::Database::Transaction::AutoCommit))
        return;
    PendingError err;
    // An upsert both engines know (SQLite since 3.24).
    database.execute(QStringLiteral("INSERT INTO \"ImportQueue\" (\"Kind\", \"ResumeAfter\") VALUES (?, ?) "
                                    "ON CONFLICT (\"Kind\") DO UPDATE SET \"ResumeAfter\" = excluded.\"ResumeAfter\""),
                     {kindName(kind), name}, err);
}
