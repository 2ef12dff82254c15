#pragma once

#include "platform/db/Value.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace db {

struct Table;

// What went wrong in the engine, as far as the store layer distinguishes.
struct EngineFailure {
    enum class Kind {
        Other,
        Busy,
        Unique,
        ForeignKey,
        NotNull,
        NotADatabase,
        ReadOnly,
        NoSuchTable,
        Full,
        InputOutput
    };
    Kind kind = Kind::Other;
    QString detail; // "Table.Column" for NotNull, the engine's text otherwise
};

// A prepared statement that writes one row at a time: values bound by
// position (from 0), run, and the key of the row it added; lastError()
// tells why the last run failed.
class RowStatement {
public:
    virtual ~RowStatement() = default;
    virtual void bind(int index, const Value& value) = 0;
    virtual bool run() = 0;
    [[nodiscard]] virtual QSqlError lastError() const = 0;
    [[nodiscard]] virtual qint64 lastKey() const = 0;
};

// Everything that depends on the database driver lives behind this
// interface: connection options, the statements that set a connection up,
// where column types come from, and how engine errors are told apart. The
// rest of the store layer speaks plain SQL through Qt SQL.
class Dialect {
public:
    virtual ~Dialect() = default;

    [[nodiscard]] virtual QString driverName() const = 0;
    [[nodiscard]] virtual QString connectOptions(bool readOnly, int busyTimeoutMs) const = 0;
    // A quick check of the whole file's structure, one row "ok" when sound.
    [[nodiscard]] virtual QString quickCheckSql() const { return {}; }
    // Run right after the connection opened, before any transaction.
    virtual bool prepareConnection(QSqlDatabase& db, bool readOnly, QSqlError& error) const = 0;
    // The statement that starts a call's transaction.
    [[nodiscard]] virtual QString beginTransactionSql(bool readOnly) const = 0;
    // Reads a table's real name and its columns with their declared types;
    // false (and no error) when the table does not exist.
    virtual bool readTable(QSqlDatabase& db, const QString& name, Table& table, QSqlError& error) const = 0;
    // Settings a freshly created database file keeps for good.
    virtual bool prepareNewFile(QSqlDatabase& db, QSqlError& error) const = 0;
    // Removes a database file and whatever the engine keeps beside it.
    virtual void removeDatabaseFiles(const QString& path) const = 0;
    [[nodiscard]] virtual EngineFailure classify(const QSqlError& error) const = 0;
    // What an INSERT adds so that it hands back the key of its row (empty:
    // the driver's last insert id is the key).
    [[nodiscard]] virtual QString returningKey(const QString& quotedKey) const
    {
        (void)quotedKey;
        return {};
    }
    // How many new rows of a table one INSERT may carry when they wait
    // together: 1 for an engine in the same process, more for a server,
    // where each statement is a round trip.
    [[nodiscard]] virtual int rowsPerInsert() const { return 1; }
    // How many new rows may wait before they are written (memory stays
    // flat; a server gets fewer, larger writes).
    [[nodiscard]] virtual int rowsWaiting() const { return 512; }
    // Writes new rows of one table (the columns given in `columns`, values
    // in table order) through the engine's bulk path and
    // hands back their keys in order. False without an error when the
    // engine has none (INSERTs are used then).
    virtual bool copyRows(QSqlDatabase& db, const Table& table, const ColumnMask& columns,
                          const std::vector<const std::vector<Value>*>& rows, std::vector<qint64>& keys,
                          QSqlError& error) const
    {
        (void)db, (void)table, (void)columns, (void)rows, (void)keys, (void)error;
        return false;
    }
    // The statements that write rows, through the engine's own interface
    // where that binds values cheaper than Qt SQL; null: use Qt SQL.
    virtual std::unique_ptr<RowStatement> prepareRowStatement(QSqlDatabase& db, const QString& sql,
                                                              QSqlError& error) const
    {
        (void)db;
        (void)sql;
        (void)error;
        return nullptr;
    }
};

// The dialect for a Qt SQL driver name; only "QSQLITE" so far.
std::unique_ptr<Dialect> makeDialect(const QString& driverName);

} // namespace db
