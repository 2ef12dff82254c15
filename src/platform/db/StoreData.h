#pragma once

// Internal state of the store layer shared by Database and Recordset.
// Nothing outside src/platform/db includes this.

#include "platform/PendingError.h"
#include "platform/db/Criteria.h"
#include "platform/db/Database.h"
#include "platform/db/Dialect.h"

#include <QByteArray>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <memory>
#include <vector>

namespace db {

// The kinds of column the conversions know, from the declared type.
enum class ColumnKind { Int16, Int32, Int64, Double, Text, Memo, DateTime, Other };

struct Column {
    QString name;
    ColumnKind kind = ColumnKind::Other;
    int size = 0; // characters of a sized text column, 0 = unbounded
    bool notNull = false;
    bool hasDefault = false; // a row added without a value gets one
};

ColumnKind columnKindOf(const QString& declaredType, int* size);

// Column metadata of one table, read once per connection.
struct TableInfo {
    QString name;                // as the database spells it
    QString keyColumn;           // the surrogate key ("RowKey")
    std::vector<Column> columns; // without the key, in table order
    QHash<QString, int> exactIndex;
    QHash<QString, int> foldedIndex; // lower-case names: lookups ignore case
    QString parentTable;             // table a foreign key points to, if any
    // A row reads back as it was written: the engine changes nothing
    // (no trigger on adding or updating rows).
    bool writesAsGiven = false;

    // Quoted identifiers and the select list "key, c1, c2, ...".
    QString quotedName;
    QString quotedKey;
    QStringList quotedColumns;
    QString selectList;

    // Write statements by the set of columns written (one byte per column),
    // the statements reading one column of a row, and those on one row.
    QHash<QByteArray, QSqlQuery*> insertQueries;
    QHash<QByteArray, QSqlQuery*> updateQueries;
    QHash<int, QSqlQuery*> columnQueries;
    QSqlQuery* existsQuery = nullptr;
    QSqlQuery* deleteRowQuery = nullptr;
    void forgetStatements()
    {
        insertQueries.clear();
        updateQueries.clear();
        columnQueries.clear();
        existsQuery = nullptr;
        deleteRowQuery = nullptr;
    }

    [[nodiscard]] int indexOf(const QString& column) const;
};

// Criteria for one table: the columns compared (two bytes of column index
// each, in order) and the values they are compared with.
struct BoundCondition {
    QByteArray columns; // empty: no condition
    QVariantList values;
    // "c1" = ? AND "c2" = ?
    [[nodiscard]] QString sql(const TableInfo& info) const;
    void add(int column, const QVariant& value)
    {
        columns.append(char(column >> 8)).append(char(column & 0xff));
        values.append(value);
    }
};

struct RecordsetData;

// Statements are prepared with their "?" marks named ":v0", ":v1", ... in
// order (ConnectionData::prepared); bindAt binds the i-th.
constexpr int kMaxPlaceholders = 2048;
const QString& placeholder(int i);
inline void bindAt(QSqlQuery& q, int i, const QVariant& value)
{
    q.bindValue(placeholder(i), value);
}

struct ConnectionData {
    QString connectionName;
    QSqlDatabase db;
    std::unique_ptr<Dialect> dialect;
    QString path;
    Database::Transaction transaction = Database::Transaction::PerCall;
    Database::Access access = Database::Access::ReadWrite;
    bool inTransaction = false;
    mutable int machineFault = 0; // see Database::machineFault

    QHash<QString, std::shared_ptr<QSqlQuery>> queries; // prepared, by SQL text
    QHash<QString, std::shared_ptr<TableInfo>> tables;  // by lower-case name
    std::vector<RecordsetData*> recordsets;             // open on this connection

    // A prepared statement for the SQL text, reused across calls.
    QSqlQuery* prepared(const QString& sql, PendingError& err);
    // Column metadata; 3078 when the table does not exist.
    std::shared_ptr<TableInfo> table(const QString& name, PendingError& err);
    bool condition(const TableInfo& info, const Criteria& criteria, BoundCondition& out, PendingError& err) const;
    // Runs a prepared statement with the values bound in order; exec()
    // runs one whose values are bound already.
    bool run(QSqlQuery& query, const QVariantList& values, PendingError& err, const TableInfo* info);
    // What a statement may meet besides the rows of its own table: only
    // the rows its foreign key leads to or from (a recordset's own
    // statements on a table without triggers on adding or updating rows),
    // or any table (deletes, statements of our own, triggers).
    enum class Reach { Table, Any };
    bool exec(QSqlQuery& query, PendingError& err, const TableInfo* info, Reach reach = Reach::Any);
    // New rows whose INSERT waits for their edit (Recordset::updateAndEdit),
    // in the order they were stored. Each is written before a statement
    // that may meet it runs, and all before the commit. A failure of a
    // write that had no caller to report to (close, lastModified) is kept
    // and raised by the next statement.
    std::vector<RecordsetData*> waiting;
    PendingError deferredFailure;
    // Writes the waiting rows a statement on table may meet (null: all).
    bool writeWaiting(const TableInfo* table, PendingError& err);
    // Turns an engine error into the store layer's numbers.
    void raise(const QSqlError& error, PendingError& err, const TableInfo* info) const;
    void raiseClassified(const QSqlError& error, PendingError& err, const TableInfo* info) const;
    // Rows changed behind the recordsets' backs: their cached row values
    // go (info null: any table may have changed, e.g. by a cascade).
    void rowsChanged(const TableInfo* info, RecordsetData* except);
    void forgetMetadata();
    [[nodiscard]] QString quoteName(const QString& name) const;
};

struct RecordsetData {
    ConnectionData* conn = nullptr;
    std::shared_ptr<TableInfo> info;
    BoundCondition filter;
    QString filterSql;

    enum class Buffer { None, New, Edit };
    Buffer buffer = Buffer::None;
    std::vector<QVariant> bufferValues; // Null where not dirty
    QByteArray dirty;                   // one byte per column: 1 = set since addNew/edit

    bool onRow = false;
    bool bof = true;
    bool eof = true;
    bool deleted = false;
    qint64 currentKey = 0;
    bool currentKnown = false; // the current row is known to exist
    // Values of the current row, read column by column when first asked
    // for and forgotten when the row changes. loaded, one byte per column:
    // NotLoaded, Loaded (as field() returns it), Written (the value this
    // recordset stored, converted when first read) or WrittenNull (a column
    // the row was added without).
    enum : char { NotLoaded = 0, Loaded = 1, Written = 2, WrittenNull = 3 };
    std::vector<QVariant> rowValues;
    QByteArray loaded;

    bool noMatch = false;
    qint64 lastModified = 0;
    // The row last stored by this recordset, as written: its values (by
    // column, Written where known) for making it current again without
    // reading it back. Valid while nothing on the connection may have
    // deleted or changed it.
    bool lastModifiedKnown = false;
    std::vector<QVariant> writtenValues;
    QByteArray written;

    // Rows of the table may have changed behind this recordset: nothing
    // it remembers of them is trusted any more.
    void forgetRowValues()
    {
        loaded.fill(NotLoaded);
        lastModifiedKnown = false;
        currentKnown = false;
    }

    // A new row stored by updateAndEdit() whose INSERT waits: it is written
    // together with the edit's update(), or before anything else touches
    // the connection. The columns and values of the store (deferredValues
    // is Null outside deferredDirty).
    bool insertDeferred = false;
    QByteArray deferredDirty;
    std::vector<QVariant> deferredValues;
    // The row no longer waits (it is written now, or dropped).
    void stopWaiting();

    // Positioning statements of this recordset by their condition.
    QHash<QByteArray, QSqlQuery*> seekQueries;

    void detach();
};

// Conversions between the values the readers hand over and what a column
// stores (FieldValue.cpp).
// Writes the recordset's waiting INSERT, if any; its row becomes the
// current one with its key (Recordset.cpp).
bool writeDeferredInsert(RecordsetData& d, PendingError& err);

bool toColumnValue(const Column& column, const QVariant& value, QVariant& out, PendingError& err);
QVariant fromStoredValue(const Column& column, const QVariant& stored);
// The strict number rule for text: the whole text, blanks around allowed,
// is an optionally signed decimal number. Integers come back as qlonglong.
bool parseNumberText(const QString& text, QVariant& number);

} // namespace db
