#include "platform/db/Dialect.h"

#include "platform/db/Connection.h"

#include <QDateTime>
#include <QFile>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

#include <algorithm>
#include <vector>

// The SQLite specifics of the store layer, and only these: WAL journal so
// the machine's control can read while the server writes, synchronous=FULL
// so a commit is on disk before the job file is moved to the backup,
// foreign keys for the cascading deletes, and the busy timeout.

namespace db {

namespace {

bool execute(QSqlDatabase& db, const QString& sql, QSqlError& error)
{
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        error = q.lastError();
        return false;
    }
    while (q.next()) {
    }
    return true;
}

// UTF-8 of a text into a buffer whose room is reused (job texts are
// nearly always ASCII, copied a character at a time).
void toUtf8(const QString& text, QByteArray& out)
{
    const qsizetype n = text.size();
    out.resize(n);
    char* to = out.data();
    const auto* from = reinterpret_cast<const char16_t*>(text.constData());
    for (qsizetype i = 0; i < n; ++i) {
        if (from[i] >= 0x80) {
            out = text.toUtf8();
            return;
        }
        to[i] = char(from[i]);
    }
}

// Rows are written through the engine's own statements on the driver's
// connection: a value is bound as what it is, without the driver's
// placeholder names and copies. Values are those the column rules made:
// numbers, texts (dates as text) or Null.
class SqliteRowStatement final : public RowStatement {
public:
    SqliteRowStatement(sqlite3* db, sqlite3_stmt* stmt)
        : m_db(db), m_stmt(stmt), m_texts(size_t(std::max(0, sqlite3_bind_parameter_count(stmt))))
    {
    }
    ~SqliteRowStatement() override { sqlite3_finalize(m_stmt); }
    SqliteRowStatement(const SqliteRowStatement&) = delete;
    SqliteRowStatement& operator=(const SqliteRowStatement&) = delete;

    void bind(int index, const Value& value) override
    {
        const int at = index + 1;
        switch (value.kind) {
        case Value::Kind::Null:
            sqlite3_bind_null(m_stmt, at);
            break;
        case Value::Kind::Integer:
            sqlite3_bind_int64(m_stmt, at, value.integer);
            break;
        case Value::Kind::Real:
            sqlite3_bind_double(m_stmt, at, value.real);
            break;
        case Value::Kind::Text: {
            // As UTF-8, the job database's encoding, from a buffer of the
            // statement's that lives until the next run: the engine neither
            // converts nor copies it. An empty text is text, never Null.
            QByteArray& utf8 = m_texts[size_t(index)];
            toUtf8(value.text, utf8);
            sqlite3_bind_text(m_stmt, at, utf8.isEmpty() ? "" : utf8.constData(), int(utf8.size()), SQLITE_STATIC);
            break;
        }
        }
    }

    bool run() override
    {
        m_rc = sqlite3_step(m_stmt);
        const bool ok = m_rc == SQLITE_DONE || m_rc == SQLITE_ROW;
        if (!ok)
            m_message = QString::fromUtf16(static_cast<const char16_t*>(sqlite3_errmsg16(m_db)));
        sqlite3_reset(m_stmt);
        return ok;
    }

    [[nodiscard]] QSqlError lastError() const override
    {
        return QSqlError(QStringLiteral("Unable to fetch row"), m_message, QSqlError::StatementError,
                         QString::number(m_rc));
    }

    [[nodiscard]] qint64 lastKey() const override { return sqlite3_last_insert_rowid(m_db); }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt;
    std::vector<QByteArray> m_texts; // one per parameter, reused
    int m_rc = SQLITE_OK;
    QString m_message;
};

class SqliteDialect final : public Dialect {
public:
    [[nodiscard]] QString driverName() const override { return QStringLiteral("QSQLITE"); }

    [[nodiscard]] QString connectOptions(bool readOnly, int busyTimeoutMs) const override
    {
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs);
        if (readOnly)
            options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        return options;
    }

    bool prepareConnection(QSqlDatabase& db, bool readOnly, QSqlError& error) const override
    {
        // The first statement that reads the file tells a database from
        // any other file.
        if (!execute(db, QStringLiteral("SELECT count(*) FROM sqlite_master"), error))
            return false;
        if (!readOnly && !execute(db, QStringLiteral("PRAGMA journal_mode=WAL"), error))
            return false;
        return execute(db, QStringLiteral("PRAGMA synchronous=FULL"), error) &&
               execute(db, QStringLiteral("PRAGMA foreign_keys=ON"), error);
    }

    [[nodiscard]] QString beginTransactionSql(bool readOnly) const override
    {
        // A writing call takes the write lock at its start: it waits for
        // another writer (busy timeout) there and nowhere later.
        return readOnly ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE");
    }

    bool readTable(QSqlDatabase& db, const QString& name, Table& info, QSqlError& error) const override
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type IN ('table','view') AND name = ? COLLATE NOCASE"));
        q.addBindValue(name);
        if (!q.exec()) {
            error = q.lastError();
            return false;
        }
        if (!q.next())
            return false;
        info.name = q.value(0).toString();
        q.finish();

        const QString quoted = db.driver()->escapeIdentifier(info.name, QSqlDriver::TableName);
        if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted))) {
            error = q.lastError();
            return false;
        }
        QString integerKey;
        while (q.next()) {
            const QString column = q.value(1).toString();
            const QString declared = q.value(2).toString();
            const bool primaryKey = q.value(5).toInt() != 0;
            if (primaryKey && declared.compare(QStringLiteral("INTEGER"), Qt::CaseInsensitive) == 0) {
                integerKey = column;
                continue;
            }
            Column c;
            c.name = column;
            c.kind = columnKindOf(declared, &c.size);
            c.notNull = q.value(3).toInt() != 0;
            info.columns.push_back(c);
        }
        q.finish();
        // Tables made without the surrogate key still have SQLite's own.
        info.keyColumn = integerKey.isEmpty() ? QStringLiteral("rowid") : integerKey;

        if (q.exec(QStringLiteral("PRAGMA foreign_key_list(%1)").arg(quoted)) && q.next())
            info.parentTable = q.value(2).toString();
        q.finish();

        return true;
    }

    bool prepareNewFile(QSqlDatabase& db, QSqlError& error) const override
    {
        return execute(db, QStringLiteral("PRAGMA journal_mode=WAL"), error) &&
               execute(db, QStringLiteral("PRAGMA foreign_keys=ON"), error);
    }

    void removeDatabaseFiles(const QString& path) const override
    {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-wal"));
        QFile::remove(path + QStringLiteral("-shm"));
    }

    [[nodiscard]] QString quickCheckSql() const override { return QStringLiteral("PRAGMA quick_check"); }

    [[nodiscard]] EngineFailure classify(const QSqlError& error) const override
    {
        const QString text = error.databaseText();
        const int code = error.nativeErrorCode().toInt();
        EngineFailure f;
        f.detail = text;
        const int primary = code & 0xff;
        if (primary == 5 || primary == 6) // SQLITE_BUSY, SQLITE_LOCKED
            f.kind = EngineFailure::Kind::Busy;
        else if (primary == 26 || primary == 11) // SQLITE_NOTADB, SQLITE_CORRUPT
            f.kind = EngineFailure::Kind::NotADatabase;
        else if (primary == 13) // SQLITE_FULL
            f.kind = EngineFailure::Kind::Full;
        else if (primary == 10 || primary == 14) // SQLITE_IOERR, SQLITE_CANTOPEN
            f.kind = EngineFailure::Kind::InputOutput;
        else if (primary == 8) // SQLITE_READONLY
            f.kind = EngineFailure::Kind::ReadOnly;
        else if (text.startsWith(QStringLiteral("UNIQUE constraint failed")) ||
                 text.startsWith(QStringLiteral("PRIMARY KEY must be unique")))
            f.kind = EngineFailure::Kind::Unique;
        else if (text.startsWith(QStringLiteral("FOREIGN KEY constraint failed")))
            f.kind = EngineFailure::Kind::ForeignKey;
        else if (text.startsWith(QStringLiteral("NOT NULL constraint failed: "))) {
            f.kind = EngineFailure::Kind::NotNull;
            f.detail = text.mid(28).trimmed();
        } else if (text.startsWith(QStringLiteral("no such table")))
            f.kind = EngineFailure::Kind::NoSuchTable;
        else if (text.contains(QStringLiteral("database is locked")))
            f.kind = EngineFailure::Kind::Busy;
        else if (text.contains(QStringLiteral("file is not a database")) ||
                 text.contains(QStringLiteral("database disk image is malformed")))
            f.kind = EngineFailure::Kind::NotADatabase;
        // Errors the driver reports without the engine's code (a failed
        // COMMIT, for one) are told apart by the engine's own words.
        else if (text.contains(QStringLiteral("database or disk is full")))
            f.kind = EngineFailure::Kind::Full;
        else if (text.contains(QStringLiteral("disk I/O error")) ||
                 text.contains(QStringLiteral("unable to open database file")))
            f.kind = EngineFailure::Kind::InputOutput;
        else if (text.contains(QStringLiteral("readonly database")))
            f.kind = EngineFailure::Kind::ReadOnly;
        return f;
    }

    std::unique_ptr<RowStatement> prepareRowStatement(QSqlDatabase& db, const QString& sql,
                                                      QSqlError& error) const override
    {
        const QVariant handle = db.driver()->handle();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
            return nullptr;
        sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
        sqlite3_stmt* stmt = nullptr;
        const int rc = sqlite3_prepare16_v3(connection, sql.utf16(), int(sql.size() * 2), SQLITE_PREPARE_PERSISTENT,
                                            &stmt, nullptr);
        if (rc != SQLITE_OK) {
            error = QSqlError(QStringLiteral("Unable to execute statement"),
                              QString::fromUtf16(static_cast<const char16_t*>(sqlite3_errmsg16(connection))),
                              QSqlError::StatementError, QString::number(rc));
            sqlite3_finalize(stmt);
            return nullptr;
        }
        return std::make_unique<SqliteRowStatement>(connection, stmt);
    }
};

} // namespace

std::unique_ptr<Dialect> makeDialect(const QString& driverName)
{
    if (driverName == QStringLiteral("QSQLITE"))
        return std::make_unique<SqliteDialect>();
    return nullptr;
}

} // namespace db
