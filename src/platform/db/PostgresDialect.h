#pragma once

#include "platform/db/Dialect.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace db {

// A job database in a schema of a PostgreSQL server (Qt's QPSQL driver),
// one schema per machine. The connection works in that schema alone
// (search path), commits durably (synchronous_commit on), waits for locks
// for the busy timeout (lock_timeout), is never ended by the server for
// sitting in a transaction while the operator answers a question, keeps
// local times in the machine's own time zone, and names itself
// "serverquirnel" to the server.
//
// Engine errors are told apart by SQLSTATE. Faults of the machine: the
// connection (class 08, and errors without a SQLSTATE: the connection was
// refused, lost or closed), the server shutting down or starting
// (57P01-57P03), cancelled statements (57014), lock waits, serialization
// failures and deadlocks (55P03, 40001, 40P01: Busy), a full disk (53100:
// Full) and other exhausted resources (class 53), read-only transactions
// and missing rights (25006, 42501: ReadOnly), system errors (class 58),
// damaged data (XX001, XX002) and a missing schema (3F000: NotADatabase).
// Faults of a job: unique, foreign key and not-null violations, a missing
// table (23505, 23503, 23502, 42P01), as from SQLite; the rest (class 22,
// the data) is Other.
class PostgresDialect final : public Dialect {
public:
    // schema: a plain identifier (see JobDatabaseUrl); it is quoted here.
    explicit PostgresDialect(QString schema);

    [[nodiscard]] QString driverName() const override;
    [[nodiscard]] QString connectOptions(bool readOnly, int busyTimeoutMs) const override;
    bool prepareConnection(QSqlDatabase& db, bool readOnly, QSqlError& error) const override;
    [[nodiscard]] QString beginTransactionSql(bool readOnly) const override;
    bool readTable(QSqlDatabase& db, const QString& name, Table& info, QSqlError& error) const override;
    // Nothing to set for good, nothing to remove: the server keeps the files.
    bool prepareNewFile(QSqlDatabase& db, QSqlError& error) const override;
    void removeDatabaseFiles(const QString& path) const override;
    [[nodiscard]] EngineFailure classify(const QSqlError& error) const override;
    [[nodiscard]] int rowsPerInsert() const override { return 256; }
    [[nodiscard]] int rowsWaiting() const override { return 4096; }
    // COPY ... FROM STDIN on the driver's own libpq connection, with keys
    // taken from the table's identity sequence first.
    bool copyRows(QSqlDatabase& db, const Table& table, const ColumnMask& columns,
                  const std::vector<const std::vector<Value>*>& rows, std::vector<qint64>& keys,
                  QSqlError& error) const override;
    [[nodiscard]] QString returningKey(const QString& quotedKey) const override
    {
        return QStringLiteral(" RETURNING ") + quotedKey;
    }

    // Through Qt SQL; an added row's key comes from RETURNING alone.

    [[nodiscard]] const QString& schema() const { return m_schema; }

private:
    QString m_schema;
};

// Creates schema (when missing) and the job database's tables in it from
// statements (schema::jobDatabasePgStatements()), in one transaction.
// Refuses, changing nothing, when the schema already has any of those
// tables, or when the database does not keep its text in UTF-8.
enum class CreateSchemaResult { Created, AlreadyThere, Failed };
CreateSchemaResult createPostgresJobSchema(QSqlDatabase& db, const QString& schema, const QStringList& statements,
                                           QString* why);

} // namespace db
