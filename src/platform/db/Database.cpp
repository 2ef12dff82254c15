#include "platform/db/Database.h"

#include "platform/db/Connection.h"
#include "platform/db/DbErrors.h"
#include "platform/db/PostgresDialect.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include <algorithm>
#include <atomic>

namespace db {

namespace {

const QString DefaultDriver = QStringLiteral("QSQLITE");
constexpr int DefaultBusyTimeoutMs = 5000;
// New rows waiting for their INSERT are written once as many wait as the
// dialect allows, so that memory stays flat however long a job file is.
size_t maxPendingRows(const Dialect& dialect)
{
    return size_t(std::max(1, dialect.rowsWaiting()));
}

// Every Database gets a connection name of its own.
QString nextConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("vov-db-%1").arg(++counter);
}

// " WHERE c1 = ? AND c2 = ?" and the values to bind; false (3265) for a
// column the table lacks.
bool whereSql(const Table& table, const Where& where, QString& sql, QVariantList& values, PendingError& err)
{
    for (const auto& [column, value] : where) {
        const int i = table.indexOf(column);
        if (i < 0) {
            error::itemNotFound(err);
            return false;
        }
        sql += sql.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
        sql += table.quotedColumns[i] + QStringLiteral(" = ?");
        values << value;
    }
    return true;
}

QString columnList(const Table& table, const ColumnMask& mask, const QString& suffix)
{
    QStringList parts;
    for (int i = 0; i < int(table.columns.size()); ++i)
        if (mask.test(i))
            parts << table.quotedColumns[i] + suffix;
    return parts.join(QStringLiteral(", "));
}

// Rows written through Qt SQL, for a driver whose dialect has no way of
// its own. The key of an added row is the row its RETURNING clause hands
// back where the dialect asks for one: the driver's last insert id would
// then ask the server (PostgreSQL's lastval()), which fails in a session
// that has added no row yet and ends the transaction.
class QueryRowStatement final : public RowStatement {
public:
    QueryRowStatement(const QSqlDatabase& db, bool keyReturned) : m_query(db), m_keyReturned(keyReturned)
    {
        m_query.setForwardOnly(true);
    }
    bool prepare(const QString& sql, QSqlError& error)
    {
        if (m_query.prepare(sql))
            return true;
        error = m_query.lastError();
        return false;
    }
    void bind(int index, const Value& value) override { m_query.bindValue(index, value.toVariant()); }
    bool run() override
    {
        const bool ok = m_query.exec();
        if (!ok)
            m_error = m_query.lastError();
        // A statement that hands back its row's key (RETURNING) has one row.
        if (!ok)
            m_key = 0;
        else if (m_keyReturned)
            m_key = m_query.isSelect() && m_query.next() ? m_query.value(0).toLongLong() : 0;
        else
            m_key = m_query.lastInsertId().toLongLong();
        m_query.finish();
        return ok;
    }
    [[nodiscard]] QSqlError lastError() const override { return m_error; }
    [[nodiscard]] qint64 lastKey() const override { return m_key; }

private:
    QSqlQuery m_query;
    QSqlError m_error;
    bool m_keyReturned = false;
    qint64 m_key = 0;
};

} // namespace

// ---------------------------------------------------------------------------
// ConnectionData

QString ConnectionData::quoteName(const QString& name) const
{
    return db.driver()->escapeIdentifier(name, QSqlDriver::FieldName);
}

QSqlQuery* ConnectionData::prepared(const QString& sql, PendingError& err)
{
    auto it = queries.constFind(sql);
    if (it != queries.cend())
        return it.value().get();
    auto query = std::make_shared<QSqlQuery>(db);
    query->setForwardOnly(true);
    if (!query->prepare(sql)) {
        raise(query->lastError(), err, nullptr);
        return nullptr;
    }
    queries.insert(sql, query);
    return query.get();
}

std::shared_ptr<const Table> ConnectionData::table(const QString& name, PendingError& err)
{
    if (const auto exact = tablesByName.constFind(name); exact != tablesByName.cend())
        return exact.value();
    const QString key = name.toLower();
    auto it = tables.constFind(key);
    if (it != tables.cend()) {
        tablesByName.insert(name, it.value());
        return it.value();
    }
    auto info = std::make_shared<Table>();
    QSqlError sqlError;
    if (!dialect->readTable(db, name, *info, sqlError)) {
        if (sqlError.isValid() && sqlError.type() != QSqlError::NoError)
            raise(sqlError, err, nullptr);
        else
            error::tableNotFound(err, name);
        return nullptr;
    }
    if (info->columns.size() > size_t(ColumnMask::Capacity)) {
        error::engine(err, QStringLiteral("The table '%1' has more than %2 columns.")
                               .arg(info->name)
                               .arg(ColumnMask::Capacity));
        return nullptr;
    }
    info->quotedName = quoteName(info->name);
    info->quotedKey = quoteName(info->keyColumn);
    for (int i = 0; i < int(info->columns.size()); ++i) {
        const QString& c = info->columns[size_t(i)].name;
        info->exactIndex.insert(c, i);
        info->foldedIndex.insert(c.toLower(), i);
        info->quotedColumns << quoteName(c);
    }
    tables.insert(key, info);
    tablesByName.insert(name, info);
    return info;
}

bool ConnectionData::run(QSqlQuery& query, const QVariantList& values, PendingError& err, const Table* table)
{
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values.at(i));
    if (!query.exec()) {
        raise(query.lastError(), err, table);
        query.finish();
        return false;
    }
    return true;
}

bool ConnectionData::writePending(const Table* reading, PendingError& err)
{
    size_t upTo = pending.size();
    if (reading) {
        upTo = 0;
        for (size_t i = pending.size(); i > 0; --i)
            if (pending[i - 1]->table->name == reading->name) {
                upTo = i;
                break;
            }
    }
    if (upTo == 0)
        return true;
    // A refused row stays waiting with the rows after it: the commit tries
    // it again and fails, so that a call never commits without it.
    const bool ok = dialect->rowsPerInsert() <= 1 ? insertInOrder(upTo, err) : insertGrouped(upTo, err);
    // Written rows leave the list; those nothing else refers to are kept
    // for new rows.
    for (size_t i = 0; i < upTo; ++i)
        if (!pending[i]->pending)
            keepSpareRow(pending[i]);
    pending.erase(std::remove_if(pending.begin(), pending.begin() + std::ptrdiff_t(upTo),
                                 [](const std::shared_ptr<RowData>& row) { return !row || !row->pending; }),
                  pending.begin() + std::ptrdiff_t(upTo));
    return ok;
}

bool ConnectionData::insertInOrder(size_t upTo, PendingError& err)
{
    for (size_t i = 0; i < upTo; ++i) {
        if (!insertRow(*pending[i], err))
            return false;
        pending[i]->pending = false;
    }
    return true;
}

bool ConnectionData::insertGrouped(size_t upTo, PendingError& err)
{
    const size_t perInsert = size_t(dialect->rowsPerInsert());
    // A server gets the rows of one table with the same columns together,
    // tables in the order their first row waited (the job's row before its
    // bars and pieces), in INSERTs of up to perInsert rows each.
    std::vector<std::vector<RowData*>> groups;
    for (size_t i = 0; i < upTo; ++i) {
        RowData* row = pending[i].get();
        auto group = std::find_if(groups.begin(), groups.end(), [row](const std::vector<RowData*>& g) {
            return g.front()->table == row->table && g.front()->given == row->given;
        });
        if (group == groups.end())
            groups.push_back({row});
        else
            group->push_back(row);
    }
    bool ok = true;
    for (const auto& group : groups) {
        // The engine's bulk path takes a whole group at once.
        if (group.size() > 1) {
            bool copied = false;
            ok = copyRows(group, copied, err);
            if (copied || !ok) {
                if (!ok)
                    break;
                continue;
            }
        }
        // Batches of perInsert rows, then of a quarter of that, and so on:
        // a few statement shapes per table, each prepared once.
        for (size_t from = 0, size = perInsert; ok && from < group.size(); from += size) {
            while (size > 1 && group.size() - from < size)
                size /= 4;
            size = std::max<size_t>(size, 1);
            const std::vector<RowData*> rows(group.begin() + std::ptrdiff_t(from),
                                             group.begin() + std::ptrdiff_t(from + size));
            ok = rows.size() == 1 ? insertRow(*rows.front(), err) : insertRows(rows, err);
            if (ok)
                for (RowData* row : rows)
                    row->pending = false;
        }
        if (!ok)
            break;
    }
    return ok;
}

void ConnectionData::keepSpareRow(std::shared_ptr<RowData>& row)
{
    // A written row that no Row refers to any more is kept for the next
    // new row of its table.
    if (row.use_count() != 1 || spareRowCount >= MaxSpareRows)
        return;
    ++spareRowCount;
    spareRows[row->table.get()].push_back(std::move(row));
}

std::shared_ptr<RowData> ConnectionData::spareRow(const Table* table)
{
    const auto it = spareRows.find(table);
    if (it == spareRows.end() || it->empty())
        return nullptr;
    std::shared_ptr<RowData> row = std::move(it->back());
    it->pop_back();
    --spareRowCount;
    for (Value& v : row->values)
        if (!v.isNull())
            v = Value();
    row->given.clear();
    row->changed.clear();
    row->key = 0;
    row->pending = false;
    return row;
}

bool ConnectionData::copyRows(const std::vector<RowData*>& rows, bool& copied, PendingError& err)
{
    const Table& t = *rows.front()->table;
    std::vector<const std::vector<Value>*> values;
    for (const RowData* row : rows)
        values.push_back(&row->values);
    std::vector<qint64> keys;
    QSqlError error;
    copied = dialect->copyRows(db, t, rows.front()->given, values, keys, error) && keys.size() == rows.size();
    if (copied) {
        for (size_t i = 0; i < rows.size(); ++i) {
            rows[i]->key = keys[i];
            rows[i]->changed.clear();
            rows[i]->pending = false;
        }
        return true;
    }
    if (!error.isValid())
        return true; // no bulk path: INSERTs then
    raise(error, err, &t);
    return false;
}

bool ConnectionData::insertRows(const std::vector<RowData*>& rows, PendingError& err)
{
    const RowData& first = *rows.front();
    const Table& t = *first.table;
    const int columns = first.given.count();
    QString sql = QStringLiteral("INSERT INTO ") + t.quotedName + QStringLiteral(" (") +
                  columnList(t, first.given, {}) + QStringLiteral(") VALUES ");
    QStringList marks;
    for (int n = columns; n > 0; --n)
        marks << QStringLiteral("?");
    const QString tuple = u'(' + marks.join(QStringLiteral(", ")) + u')';
    for (size_t r = 0; r < rows.size(); ++r)
        sql += (r ? QStringLiteral(", ") : QString()) + tuple;
    sql += dialect->returningKey(t.quotedKey);
    QSqlQuery* q = prepared(sql, err);
    if (!q)
        return false;
    int at = 0;
    for (const RowData* row : rows)
        for (int i = 0; i < int(t.columns.size()); ++i)
            if (row->given.test(i))
                q->bindValue(at++, row->values[size_t(i)].toVariant());
    if (!q->exec()) {
        raise(q->lastError(), err, &t);
        q->finish();
        return false;
    }
    // The keys come back in the order of the rows.
    for (RowData* row : rows) {
        row->key = q->next() ? q->value(0).toLongLong() : 0;
        row->changed.clear();
    }
    q->finish();
    return true;
}

RowStatement* ConnectionData::rowStatement(const std::shared_ptr<const Table>& table, const ColumnMask& columns,
                                           bool update, PendingError& err)
{
    const Table& t = *table;
    TableStatements& statements = rowStatements[table.get()];
    if (!statements.table)
        statements.table = table;
    auto& cache = update ? statements.updates : statements.inserts;
    if (const auto it = cache.constFind(columns); it != cache.cend())
        return it.value().get();
    QString sql;
    if (update) {
        sql = QStringLiteral("UPDATE ") + t.quotedName + QStringLiteral(" SET ") +
              columnList(t, columns, QStringLiteral(" = ?")) + QStringLiteral(" WHERE ") + t.quotedKey +
              QStringLiteral(" = ?");
    } else if (!columns.any()) {
        sql = QStringLiteral("INSERT INTO ") + t.quotedName + QStringLiteral(" DEFAULT VALUES") +
              (t.keyColumn.isEmpty() ? QString() : dialect->returningKey(t.quotedKey));
    } else {
        QStringList marks;
        for (int n = columns.count(); n > 0; --n)
            marks << QStringLiteral("?");
        sql = QStringLiteral("INSERT INTO ") + t.quotedName + QStringLiteral(" (") + columnList(t, columns, {}) +
              QStringLiteral(") VALUES (") + marks.join(QStringLiteral(", ")) + QStringLiteral(")") +
              (t.keyColumn.isEmpty() ? QString() : dialect->returningKey(t.quotedKey));
    }
    QSqlError sqlError;
    std::shared_ptr<RowStatement> statement = dialect->prepareRowStatement(db, sql, sqlError);
    if (!statement && !sqlError.isValid()) {
        auto query = std::make_shared<QueryRowStatement>(db, !dialect->returningKey(QStringLiteral("k")).isEmpty());
        if (query->prepare(sql, sqlError))
            statement = std::move(query);
    }
    if (!statement) {
        raise(sqlError, err, &t);
        return nullptr;
    }
    cache.insert(columns, statement);
    return statement.get();
}

bool ConnectionData::insertRow(RowData& row, PendingError& err)
{
    const Table& t = *row.table;
    RowStatement* statement = rowStatement(row.table, row.given, false, err);
    if (!statement)
        return false;
    int at = 0;
    for (int i = 0; i < int(t.columns.size()); ++i)
        if (row.given.test(i))
            statement->bind(at++, row.values[size_t(i)]);
    if (!statement->run()) {
        raise(statement->lastError(), err, &t);
        return false;
    }
    row.key = statement->lastKey();
    row.changed.clear();
    return true;
}

bool ConnectionData::updateRow(RowData& row, PendingError& err)
{
    const Table& t = *row.table;
    if (!row.changed.any())
        return true;
    RowStatement* statement = rowStatement(row.table, row.changed, true, err);
    if (!statement)
        return false;
    int at = 0;
    for (int i = 0; i < int(t.columns.size()); ++i)
        if (row.changed.test(i))
            statement->bind(at++, row.values[size_t(i)]);
    statement->bind(at, Value::ofInteger(row.key));
    if (!statement->run()) {
        raise(statement->lastError(), err, &t);
        return false;
    }
    row.changed.clear();
    return true;
}

void ConnectionData::raise(const QSqlError& sqlError, PendingError& err, const Table* info)
{
    const EngineFailure f = dialect->classify(sqlError);
    switch (f.kind) {
    case EngineFailure::Kind::Busy:
        error::locked(err);
        break;
    case EngineFailure::Kind::Unique:
        error::duplicateKey(err);
        break;
    case EngineFailure::Kind::ForeignKey:
        error::relatedRecordRequired(err,
                                     info && !info->parentTable.isEmpty() ? info->parentTable : QStringLiteral("?"));
        break;
    case EngineFailure::Kind::NotNull:
        error::fieldRequired(err, f.detail);
        break;
    case EngineFailure::Kind::ReadOnly:
        error::readOnly(err);
        break;
    case EngineFailure::Kind::NoSuchTable:
        error::tableNotFound(err, info ? info->name : f.detail.section(u':', 1).trimmed());
        break;
    case EngineFailure::Kind::NotADatabase:
        error::damaged(err, sqlError.databaseText());
        break;
    case EngineFailure::Kind::Full:
        error::diskFull(err, sqlError.databaseText());
        break;
    case EngineFailure::Kind::InputOutput:
        error::inputOutput(err, sqlError.databaseText());
        break;
    case EngineFailure::Kind::Other:
        error::engine(err, sqlError.databaseText().isEmpty() ? sqlError.text() : sqlError.databaseText());
        break;
    }
    if (ErrorNumber::isInfrastructureFault(err.number))
        machineFault = err.number;
}

void ConnectionData::forgetStatements()
{
    // The engine's statements go before the connection closes.
    rowStatements.clear();
    spareRows.clear();
    spareRowCount = 0;
    tables.clear();
    tablesByName.clear();
    queries.clear();
}

// ---------------------------------------------------------------------------
// Database

Database::Database() = default;

Database::~Database()
{
    close();
}

bool Database::open(const QString& path, PendingError& err, Transaction tx, Access access)
{
    close();
    if (!QFileInfo(path).isFile()) {
        error::fileNotFound(err, path);
        return false;
    }
    auto conn = std::make_unique<ConnectionData>();
    conn->dialect = makeDialect(DefaultDriver);
    conn->connectionName = nextConnectionName();
    conn->transaction = tx;
    conn->db = QSqlDatabase::addDatabase(conn->dialect->driverName(), conn->connectionName);
    conn->db.setDatabaseName(path);
    return connect(std::move(conn), access == Access::ReadOnly, err);
}

bool Database::open(const JobDatabaseUrl& server, PendingError& err, Transaction tx, Access access)
{
    close();
    auto conn = std::make_unique<ConnectionData>();
    conn->dialect = std::make_unique<PostgresDialect>(server.schema);
    conn->connectionName = nextConnectionName();
    conn->transaction = tx;
    conn->db = QSqlDatabase::addDatabase(conn->dialect->driverName(), conn->connectionName);
    server.applyTo(conn->db);
    return connect(std::move(conn), access == Access::ReadOnly, err);
}

bool Database::connect(std::unique_ptr<ConnectionData> conn, bool readOnly, PendingError& err)
{
    conn->db.setConnectOptions(
        conn->dialect->connectOptions(readOnly, DefaultBusyTimeoutMs));
    m_conn = std::move(conn);

    QSqlError sqlError;
    bool ok = m_conn->db.open();
    if (!ok)
        sqlError = m_conn->db.lastError();
    else
        ok = m_conn->dialect->prepareConnection(m_conn->db, readOnly, sqlError);
    if (ok && m_conn->transaction == Transaction::PerCall) {
        QSqlQuery begin(m_conn->db);
        ok = begin.exec(m_conn->dialect->beginTransactionSql(readOnly));
        if (!ok)
            sqlError = begin.lastError();
        m_conn->inTransaction = ok;
    }
    if (!ok) {
        m_conn->raise(sqlError, err, nullptr);
        close();
        return false;
    }
    return true;
}

bool Database::isOpen() const
{
    return m_conn != nullptr;
}

bool Database::finish(bool commit, PendingError& err)
{
    if (!m_conn)
        return true;
    // Rows still waiting go in before the commit; when they cannot,
    // nothing is committed.
    bool ok = true;
    if (commit && m_conn->inTransaction && !m_conn->writePending(nullptr, err))
        ok = commit = false;
    for (const auto& row : m_conn->pending)
        row->pending = false;
    m_conn->pending.clear();
    m_conn->forgetStatements();
    if (m_conn->inTransaction) {
        const bool done = commit ? m_conn->db.commit() : m_conn->db.rollback();
        if (!done)
            m_conn->raise(m_conn->db.lastError(), err, nullptr);
        if (!done && commit)
            m_conn->db.rollback();
        ok = ok && done;
        m_conn->inTransaction = false;
    }
    const QString name = m_conn->connectionName;
    m_conn->db.close();
    m_conn.reset(); // the last QSqlDatabase handle goes before the name is removed
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool Database::commit(PendingError& err)
{
    return finish(true, err);
}

void Database::close()
{
    PendingError ignored;
    (void)finish(false, ignored);
}

Row Database::newRow(const QString& table, PendingError& err)
{
    if (!m_conn) {
        error::objectInvalid(err);
        return {};
    }
    std::shared_ptr<const Table> info = m_conn->table(table, err);
    if (!info)
        return {};
    std::shared_ptr<RowData> data = m_conn->spareRow(info.get());
    if (!data) {
        data = std::make_shared<RowData>();
        data->values.resize(info->columns.size());
        data->table = std::move(info);
    }
    return Row(std::move(data));
}

bool Database::hasColumn(const QString& table, const QString& column)
{
    PendingError ignored;
    const std::shared_ptr<const Table> info = m_conn ? m_conn->table(table, ignored) : nullptr;
    return info && info->indexOf(column) >= 0;
}

bool Database::store(Row& row, PendingError& err)
{
    if (!m_conn || !row.d) {
        error::objectInvalid(err);
        return false;
    }
    RowData& data = *row.d;
    if (data.pending)
        return true; // goes in with its INSERT
    if (data.key == 0 && m_conn->inTransaction) {
        data.pending = true;
        m_conn->pending.push_back(row.d);
        return m_conn->pending.size() < maxPendingRows(*m_conn->dialect) || m_conn->writePending(nullptr, err);
    }
    if (data.key != 0 && !data.changed.any())
        return true; // nothing to write
    if (!m_conn->writePending(nullptr, err))
        return false;
    return data.key == 0 ? m_conn->insertRow(data, err) : m_conn->updateRow(data, err);
}

bool Database::remove(Row& row, PendingError& err)
{
    if (!m_conn || !row.d) {
        error::objectInvalid(err);
        return false;
    }
    if (!m_conn->writePending(nullptr, err))
        return false;
    const Table& t = *row.d->table;
    QSqlQuery* q = m_conn->prepared(QStringLiteral("DELETE FROM ") + t.quotedName + QStringLiteral(" WHERE ") +
                                        t.quotedKey + QStringLiteral(" = ?"),
                                    err);
    if (!q || !m_conn->run(*q, {row.d->key}, err, &t))
        return false;
    q->finish();
    row = Row();
    return true;
}

Database::TableQuery Database::queryOn(const QString& table, const QString& column, const Where& where,
                                       QVariantList values, bool reads, const SqlOf& sqlOf, PendingError& err)
{
    TableQuery q;
    if (!m_conn) {
        error::objectInvalid(err);
        return q;
    }
    q.table = m_conn->table(table, err);
    if (!q.table || !m_conn->writePending(reads ? q.table.get() : nullptr, err))
        return {};
    const Table& t = *q.table;
    q.column = column.isEmpty() ? -1 : t.indexOf(column);
    QString condition;
    if (!column.isEmpty() && q.column < 0) {
        error::itemNotFound(err);
        return {};
    }
    if (!whereSql(t, where, condition, values, err))
        return {};
    q.query = m_conn->prepared(sqlOf(t, q.column < 0 ? QString() : t.quotedColumns[q.column], condition), err);
    if (q.query && !m_conn->run(*q.query, values, err, &t))
        q.query = nullptr;
    return q;
}

Row Database::firstRow(const QString& table, const Where& where, PendingError& err)
{
    const TableQuery q = queryOn(
        table, {}, where, {}, true,
        [](const Table& t, const QString&, const QString& cond) {
            return QStringLiteral("SELECT ") + t.quotedKey + u',' + t.quotedColumns.join(u',') +
                   QStringLiteral(" FROM ") + t.quotedName + cond + QStringLiteral(" ORDER BY ") + t.quotedKey +
                   QStringLiteral(" LIMIT 1");
        },
        err);
    Row row;
    if (q.query && q.query->next()) {
        row = newRow(table, err);
        row.d->key = q.query->value(0).toLongLong();
        for (size_t i = 0; i < row.d->values.size(); ++i)
            row.d->values[i] = Value::fromEngine(q.query->value(int(i) + 1));
    }
    if (q.query)
        q.query->finish();
    return row;
}

int Database::deleteWhere(const QString& table, const Where& where, PendingError& err)
{
    const TableQuery q = queryOn(
        table, {}, where, {}, false,
        [](const Table& t, const QString&, const QString& cond) {
            return QStringLiteral("DELETE FROM ") + t.quotedName + cond;
        },
        err);
    const int n = q.query ? q.query->numRowsAffected() : -1;
    if (q.query)
        q.query->finish();
    return n;
}

int Database::updateWhere(const QString& table, const QString& column, const QVariant& value, const Where& where,
                          PendingError& err)
{
    // The value passes the column's rules before anything is written.
    if (!m_conn) {
        error::objectInvalid(err);
        return -1;
    }
    const std::shared_ptr<const Table> t = m_conn->table(table, err);
    if (!t)
        return -1;
    const int i = t->indexOf(column);
    Value stored;
    if (i < 0)
        error::itemNotFound(err);
    if (i < 0 || !toColumnValue(t->columns[size_t(i)], value, stored, err))
        return -1;
    const TableQuery q = queryOn(
        table, column, where, {stored.toVariant()}, false,
        [](const Table& t, const QString& c, const QString& cond) {
            return QStringLiteral("UPDATE ") + t.quotedName + QStringLiteral(" SET ") + c + QStringLiteral(" = ?") +
                   cond;
        },
        err);
    const int n = q.query ? q.query->numRowsAffected() : -1;
    if (q.query)
        q.query->finish();
    return n;
}

QVariant Database::maxOf(const QString& table, const QString& column, PendingError& err)
{
    const TableQuery q = queryOn(
        table, column, {}, {}, true,
        [](const Table& t, const QString& c, const QString&) {
            return QStringLiteral("SELECT MAX(") + c + QStringLiteral(") FROM ") + t.quotedName;
        },
        err);
    QVariant result;
    if (q.query && q.query->next())
        result = fromStoredValue(q.table->columns[size_t(q.column)], Value::fromEngine(q.query->value(0)));
    if (q.query)
        q.query->finish();
    return result;
}

QVariantList Database::distinctOf(const QString& table, const QString& column, const Where& where, PendingError& err)
{
    const TableQuery q = queryOn(
        table, column, where, {}, true,
        [](const Table& t, const QString& c, const QString& cond) {
            return QStringLiteral("SELECT DISTINCT ") + c + QStringLiteral(" FROM ") + t.quotedName +
                   (cond.isEmpty() ? QStringLiteral(" WHERE ") : cond + QStringLiteral(" AND ")) + c +
                   QStringLiteral(" IS NOT NULL");
        },
        err);
    QVariantList result;
    while (q.query && q.query->next())
        result << fromStoredValue(q.table->columns[size_t(q.column)], Value::fromEngine(q.query->value(0)));
    if (q.query)
        q.query->finish();
    return result;
}

bool Database::hasRows(const QString& table, PendingError& err)
{
    const TableQuery q = queryOn(
        table, {}, {}, {}, true,
        [](const Table& t, const QString&, const QString&) {
            return QStringLiteral("SELECT 1 FROM ") + t.quotedName + QStringLiteral(" LIMIT 1");
        },
        err);
    const bool any = q.query && q.query->next();
    if (q.query)
        q.query->finish();
    return any;
}

bool Database::executeFixed(const QString& sql, PendingError& err)
{
    return execute(sql, {}, err);
}

bool Database::execute(const QString& sql, const QVariantList& values, PendingError& err,
                       std::vector<QVariantList>* rows)
{
    if (!m_conn) {
        error::objectInvalid(err);
        return false;
    }
    if (!m_conn->writePending(nullptr, err))
        return false;
    // A statement that changes tables makes the column rules read so far
    // stale; it is run once and not kept.
    const QString head = sql.trimmed().section(u' ', 0, 0).toUpper();
    if (head == u"CREATE" || head == u"ALTER" || head == u"DROP") {
        m_conn->forgetStatements();
        QSqlQuery q(m_conn->db);
        if (!q.exec(sql)) {
            m_conn->raise(q.lastError(), err, nullptr);
            return false;
        }
        return true;
    }
    QSqlQuery* q = m_conn->prepared(sql, err);
    if (!q || !m_conn->run(*q, values, err, nullptr))
        return false;
    if (rows) {
        const int columns = q->record().count();
        while (q->next()) {
            QVariantList row;
            row.reserve(columns);
            for (int i = 0; i < columns; ++i)
                row << q->value(i);
            rows->push_back(std::move(row));
        }
    }
    q->finish();
    return true;
}

int Database::machineFault() const
{
    return m_conn ? m_conn->machineFault : 0;
}

// ---------------------------------------------------------------------------
// createDatabase

bool createDatabase(const QString& path, const QStringList& statements, QString* message)
{
    auto fail = [message](const QString& text) {
        if (message)
            *message = text;
        return false;
    };
    if (QFileInfo::exists(path))
        return fail(QStringLiteral("The database '%1' already exists; nothing was changed.").arg(path));
    if (!QFileInfo(path).absoluteDir().exists())
        return fail(QStringLiteral("The folder of '%1' does not exist.").arg(path));

    const std::unique_ptr<Dialect> dialect = makeDialect(DefaultDriver);
    const QString name = nextConnectionName();
    QString failure;
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(dialect->driverName(), name);
        d.setDatabaseName(path);
        QSqlError sqlError;
        if (!d.open())
            failure = d.lastError().text();
        else if (!dialect->prepareNewFile(d, sqlError))
            failure = sqlError.text();
        else {
            d.transaction();
            QSqlQuery q(d);
            for (const QString& statement : statements) {
                if (!q.exec(statement)) {
                    failure = q.lastError().text() + QStringLiteral(" in: ") + statement.left(200);
                    break;
                }
            }
            q.finish();
            if (failure.isEmpty() && !d.commit())
                failure = d.lastError().text();
            if (!failure.isEmpty())
                d.rollback();
        }
        d.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!failure.isEmpty()) {
        dialect->removeDatabaseFiles(path);
        return fail(QStringLiteral("Could not create the database '%1': %2").arg(path, failure));
    }
    return true;
}

} // namespace db
