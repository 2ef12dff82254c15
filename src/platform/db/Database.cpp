#include "platform/db/Database.h"

#include "platform/db/Criteria.h"
#include "platform/db/DbErrors.h"
#include "platform/db/Recordset.h"
#include "platform/db/StoreData.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include <algorithm>
#include <atomic>
#include <utility>

namespace db {

namespace {

const QString DefaultDriver = QStringLiteral("QSQLITE");
constexpr int DefaultBusyTimeoutMs = 5000;

// Every Database gets a connection name of its own.
QString nextConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("vov-db-%1").arg(++counter);
}

bool isDefinitionStatement(const QString& sql)
{
    const QString head = sql.trimmed().section(u' ', 0, 0).toUpper();
    return head == u"CREATE" || head == u"ALTER" || head == u"DROP";
}

} // namespace

// ---------------------------------------------------------------------------
// TableInfo / ConnectionData

int TableInfo::indexOf(const QString& column) const
{
    auto it = exactIndex.constFind(column);
    if (it != exactIndex.cend())
        return it.value();
    it = foldedIndex.constFind(column.toLower());
    return it != foldedIndex.cend() ? it.value() : -1;
}

QString ConnectionData::quoteName(const QString& name) const
{
    return db.driver()->escapeIdentifier(name, QSqlDriver::FieldName);
}

namespace {

// The n-th "?" of a statement (outside quotes) becomes ":v<n>": values are
// bound by a name made once (bindAt), where binding by position would make
// the toolkit format a name for every value bound.
QString namedPlaceholders(const QString& sql)
{
    QString out;
    out.reserve(sql.size() + 16);
    QChar quote;
    int n = 0;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'?') {
            out += QStringLiteral(":v") + QString::number(n++);
            continue;
        }
        out += c;
    }
    return out;
}

} // namespace

const QString& placeholder(int i)
{
    static const std::vector<QString> names = [] {
        std::vector<QString> v;
        for (int n = 0; n < kMaxPlaceholders; ++n)
            v.push_back(QStringLiteral(":v") + QString::number(n));
        return v;
    }();
    return names.at(size_t(i));
}

QSqlQuery* ConnectionData::prepared(const QString& sql, PendingError& err)
{
    auto it = queries.constFind(sql);
    if (it != queries.cend())
        return it.value().get();
    auto query = std::make_shared<QSqlQuery>(db);
    query->setForwardOnly(true);
    if (!query->prepare(namedPlaceholders(sql))) {
        raise(query->lastError(), err, nullptr);
        return nullptr;
    }
    queries.insert(sql, query);
    return query.get();
}

std::shared_ptr<TableInfo> ConnectionData::table(const QString& name, PendingError& err)
{
    const QString key = name.toLower();
    auto it = tables.constFind(key);
    if (it != tables.cend())
        return it.value();
    auto info = std::make_shared<TableInfo>();
    QSqlError sqlError;
    if (!dialect->readTable(db, name, *info, sqlError)) {
        if (sqlError.isValid() && sqlError.type() != QSqlError::NoError)
            raise(sqlError, err, nullptr);
        else
            error::tableNotFound(err, name);
        return nullptr;
    }
    info->quotedName = quoteName(info->name);
    info->quotedKey = quoteName(info->keyColumn);
    QStringList select{info->quotedKey};
    for (int i = 0; i < int(info->columns.size()); ++i) {
        const QString& c = info->columns[size_t(i)].name;
        info->exactIndex.insert(c, i);
        info->foldedIndex.insert(c.toLower(), i);
        info->quotedColumns << quoteName(c);
        select << info->quotedColumns.last();
    }
    info->selectList = select.join(QStringLiteral(", "));
    tables.insert(key, info);
    return info;
}

QString BoundCondition::sql(const TableInfo& info) const
{
    QString sql;
    for (qsizetype at = 0; at + 1 < columns.size(); at += 2) {
        const int i = (int(uchar(columns.at(at))) << 8) | int(uchar(columns.at(at + 1)));
        if (!sql.isEmpty())
            sql += QStringLiteral(" AND ");
        sql += info.quotedColumns[i] + QStringLiteral(" = ?");
    }
    return sql;
}

bool ConnectionData::condition(const TableInfo& info, const Criteria& criteria, BoundCondition& out,
                               PendingError& err) const
{
    out = BoundCondition();
    if (!criteria.check(err))
        return false;
    for (const CriteriaTerm& t : criteria.terms()) {
        const int i = info.indexOf(t.column);
        if (i < 0) {
            // An unknown name in a criteria string is a parameter the
            // engine was not given.
            error::tooFewParameters(err);
            return false;
        }
        const Column& c = info.columns[size_t(i)];
        const bool textValue = t.value.typeId() == QMetaType::QString;
        const bool numericColumn = c.kind == ColumnKind::Int16 || c.kind == ColumnKind::Int32 ||
                                   c.kind == ColumnKind::Int64 || c.kind == ColumnKind::Double;
        const bool textColumn = c.kind == ColumnKind::Text || c.kind == ColumnKind::Memo;
        if ((numericColumn && textValue) || (textColumn && !textValue) ||
            (c.kind == ColumnKind::DateTime && !textValue)) {
            error::criteriaTypeMismatch(err);
            return false;
        }
        out.add(i, t.value);
    }
    return true;
}

bool ConnectionData::run(QSqlQuery& query, const QVariantList& values, PendingError& err, const TableInfo* info)
{
    for (int i = 0; i < values.size(); ++i)
        bindAt(query, i, values.at(i));
    return exec(query, err, info);
}

namespace {

// Whether a statement on table may meet a row of other: the same table, or
// one a foreign key leads to or from.
bool related(const TableInfo& table, const TableInfo& other)
{
    const auto same = [](const QString& a, const QString& b) {
        return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
    };
    return &table == &other || same(table.name, other.name) || same(table.parentTable, other.name) ||
           same(other.parentTable, table.name);
}

} // namespace

bool ConnectionData::writeWaiting(const TableInfo* table, PendingError& err)
{
    // A row written leaves the list (and its INSERT may write others):
    // look again from the front, so that rows go in the order stored.
    for (size_t i = 0; i < waiting.size();) {
        RecordsetData& rs = *waiting[i];
        if (table && !related(*table, *rs.info)) {
            ++i;
            continue;
        }
        if (!writeDeferredInsert(rs, err))
            return false;
        i = 0;
    }
    if (deferredFailure.pending()) {
        err = std::exchange(deferredFailure, PendingError());
        return false;
    }
    return true;
}

bool ConnectionData::exec(QSqlQuery& query, PendingError& err, const TableInfo* info, Reach reach)
{
    const bool ownTable = reach == Reach::Table && info && info->writesAsGiven;
    if (!writeWaiting(ownTable ? info : nullptr, err))
        return false;
    if (!query.exec()) {
        raise(query.lastError(), err, info);
        query.finish();
        return false;
    }
    return true;
}

void ConnectionData::raise(const QSqlError& sqlError, PendingError& err, const TableInfo* info) const
{
    raiseClassified(sqlError, err, info);
    if (ErrorNumber::isInfrastructureFault(err.number))
        machineFault = err.number;
}

void ConnectionData::raiseClassified(const QSqlError& sqlError, PendingError& err, const TableInfo* info) const
{
    const EngineFailure f = dialect->classify(sqlError);
    switch (f.kind) {
    case EngineFailure::Kind::Busy:
        error::locked(err);
        return;
    case EngineFailure::Kind::Unique:
        error::duplicateKey(err);
        return;
    case EngineFailure::Kind::ForeignKey:
        error::relatedRecordRequired(err,
                                     info && !info->parentTable.isEmpty() ? info->parentTable : QStringLiteral("?"));
        return;
    case EngineFailure::Kind::NotNull:
        error::fieldRequired(err, f.detail);
        return;
    case EngineFailure::Kind::ReadOnly:
        error::readOnly(err);
        return;
    case EngineFailure::Kind::NoSuchTable:
        error::tableNotFound(err, info ? info->name : f.detail.section(u':', 1).trimmed());
        return;
    case EngineFailure::Kind::NotADatabase:
        error::damaged(err, sqlError.databaseText());
        return;
    case EngineFailure::Kind::Full:
        error::diskFull(err, sqlError.databaseText());
        return;
    case EngineFailure::Kind::InputOutput:
        error::inputOutput(err, sqlError.databaseText());
        return;
    case EngineFailure::Kind::Other:
        break;
    }
    error::engine(err, sqlError.databaseText().isEmpty() ? sqlError.text() : sqlError.databaseText());
}

void ConnectionData::rowsChanged(const TableInfo* info, RecordsetData* except)
{
    for (RecordsetData* rs : recordsets)
        if (rs != except && (!info || (rs->info && rs->info->name == info->name)))
            rs->forgetRowValues();
}

void ConnectionData::forgetMetadata()
{
    // Recordsets keep the metadata they were opened with; the statements
    // cached for it go, since a table may have changed.
    for (auto& t : tables)
        t->forgetStatements();
    for (RecordsetData* rs : recordsets) {
        rs->seekQueries.clear();
        if (rs->info)
            rs->info->forgetStatements();
    }
    tables.clear();
    queries.clear();
}

void RecordsetData::stopWaiting()
{
    insertDeferred = false;
    if (conn) {
        auto& rows = conn->waiting;
        rows.erase(std::remove(rows.begin(), rows.end(), this), rows.end());
    }
}

void RecordsetData::detach()
{
    if (conn) {
        auto& list = conn->recordsets;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    stopWaiting();
    deferredDirty.clear();
    deferredValues.clear();
    conn = nullptr;
    info.reset();
    filter = {};
    filterSql.clear();
    buffer = Buffer::None;
    bufferValues.clear();
    dirty.clear();
    onRow = false;
    bof = eof = true;
    deleted = false;
    rowValues.clear();
    loaded.clear();
    seekQueries.clear();
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
    conn->path = path;
    conn->transaction = tx;
    conn->access = access;
    const bool readOnly = access == Access::ReadOnly;
    conn->db = QSqlDatabase::addDatabase(conn->dialect->driverName(), conn->connectionName);
    conn->db.setDatabaseName(path);
    conn->db.setConnectOptions(
        conn->dialect->connectOptions(readOnly, m_busyTimeoutMs > 0 ? m_busyTimeoutMs : DefaultBusyTimeoutMs));
    m_conn = std::move(conn);

    QSqlError sqlError;
    bool ok = m_conn->db.open();
    if (!ok)
        sqlError = m_conn->db.lastError();
    else
        ok = m_conn->dialect->prepareConnection(m_conn->db, readOnly, sqlError);
    if (ok && tx == Transaction::PerCall) {
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

void Database::setBusyTimeout(int milliseconds)
{
    m_busyTimeoutMs = milliseconds;
    if (m_conn)
        m_conn->dialect->setBusyTimeout(m_conn->db, milliseconds);
}

bool Database::finish(bool commit, PendingError& err)
{
    if (!m_conn)
        return true;
    // A row still waiting to be written goes in before the commit; when it
    // cannot, nothing is committed.
    bool ok = true;
    if (commit && m_conn->inTransaction && !m_conn->writeWaiting(nullptr, err))
        ok = commit = false;
    m_conn->waiting.clear();
    // Recordsets opened on this connection become unusable.
    while (!m_conn->recordsets.empty())
        m_conn->recordsets.back()->detach();
    m_conn->forgetMetadata();
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

bool Database::openRecordset(Recordset& rs, const QString& table, PendingError& err)
{
    return openRecordset(rs, table, Criteria(), err);
}

bool Database::openRecordset(Recordset& rs, const QString& table, const QString& criteria, PendingError& err)
{
    rs.close();
    if (!m_conn) {
        error::objectInvalid(err);
        return false;
    }
    // The table is looked for before the criteria are read.
    Criteria parsed;
    return m_conn->table(table, err) && Criteria::parse(criteria, parsed, err) && openRecordset(rs, table, parsed, err);
}

bool Database::openRecordset(Recordset& rs, const QString& table, const Criteria& criteria, PendingError& err)
{
    rs.close();
    if (!m_conn) {
        error::objectInvalid(err);
        return false;
    }
    std::shared_ptr<TableInfo> info = m_conn->table(table, err);
    if (!info)
        return false;
    BoundCondition filter;
    if (!m_conn->condition(*info, criteria, filter, err))
        return false;
    RecordsetData& d = *rs.d;
    d.conn = m_conn.get();
    d.filterSql = filter.sql(*info);
    d.info = std::move(info);
    d.filter = std::move(filter);
    m_conn->recordsets.push_back(&d);
    // A dynaset opens on its first row.
    if (!rs.moveFirstIfAny(err)) {
        rs.close();
        return false;
    }
    return true;
}

int Database::deleteWhere(const QString& table, const Criteria& criteria, PendingError& err)
{
    if (!m_conn) {
        error::objectInvalid(err);
        return -1;
    }
    const std::shared_ptr<TableInfo> info = m_conn->table(table, err);
    BoundCondition where;
    if (!info || !m_conn->condition(*info, criteria, where, err))
        return -1;
    QString sql = QStringLiteral("DELETE FROM ") + info->quotedName;
    if (!where.columns.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.sql(*info);
    QSqlQuery* q = m_conn->prepared(sql, err);
    if (!q || !m_conn->run(*q, where.values, err, info.get()))
        return -1;
    const int n = q->numRowsAffected();
    q->finish();
    m_conn->rowsChanged(nullptr, nullptr); // cascades reach other tables
    return n;
}

int Database::updateWhere(const QString& table, const QString& column, const QVariant& value, const Criteria& criteria,
                          PendingError& err)
{
    if (!m_conn) {
        error::objectInvalid(err);
        return -1;
    }
    const std::shared_ptr<TableInfo> info = m_conn->table(table, err);
    if (!info)
        return -1;
    const int i = info->indexOf(column);
    if (i < 0) {
        error::itemNotFound(err);
        return -1;
    }
    QVariant stored;
    if (!toColumnValue(info->columns[size_t(i)], value, stored, err))
        return -1;
    BoundCondition where;
    if (!m_conn->condition(*info, criteria, where, err))
        return -1;
    QString sql = QStringLiteral("UPDATE ") + info->quotedName + QStringLiteral(" SET ") + info->quotedColumns[i] +
                  QStringLiteral(" = ?");
    if (!where.columns.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.sql(*info);
    QSqlQuery* q = m_conn->prepared(sql, err);
    if (!q || !m_conn->run(*q, QVariantList{stored} + where.values, err, info.get()))
        return -1;
    const int n = q->numRowsAffected();
    q->finish();
    m_conn->rowsChanged(info.get(), nullptr);
    return n;
}

QVariant Database::maxOf(const QString& table, const QString& column, const Criteria& criteria, PendingError& err)
{
    if (!m_conn) {
        error::objectInvalid(err);
        return {};
    }
    const std::shared_ptr<TableInfo> info = m_conn->table(table, err);
    if (!info)
        return {};
    const int i = info->indexOf(column);
    if (i < 0) {
        error::itemNotFound(err);
        return {};
    }
    BoundCondition where;
    if (!m_conn->condition(*info, criteria, where, err))
        return {};
    QString sql = QStringLiteral("SELECT MAX(") + info->quotedColumns[i] + QStringLiteral(") FROM ") + info->quotedName;
    if (!where.columns.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.sql(*info);
    QSqlQuery* q = m_conn->prepared(sql, err);
    if (!q || !m_conn->run(*q, where.values, err, info.get()))
        return {};
    QVariant result;
    if (q->next())
        result = fromStoredValue(info->columns[size_t(i)], q->value(0));
    q->finish();
    return result;
}

QVariantList Database::distinctOf(const QString& table, const QString& column, const Criteria& criteria,
                                  PendingError& err)
{
    if (!m_conn) {
        error::objectInvalid(err);
        return {};
    }
    const std::shared_ptr<TableInfo> info = m_conn->table(table, err);
    if (!info)
        return {};
    const int i = info->indexOf(column);
    if (i < 0) {
        error::itemNotFound(err);
        return {};
    }
    BoundCondition where;
    if (!m_conn->condition(*info, criteria, where, err))
        return {};
    const QString& quoted = info->quotedColumns[i];
    QString sql = QStringLiteral("SELECT DISTINCT ") + quoted + QStringLiteral(" FROM ") + info->quotedName +
                  QStringLiteral(" WHERE ") + quoted + QStringLiteral(" IS NOT NULL");
    if (!where.columns.isEmpty())
        sql += QStringLiteral(" AND ") + where.sql(*info);
    QSqlQuery* q = m_conn->prepared(sql, err);
    if (!q || !m_conn->run(*q, where.values, err, info.get()))
        return {};
    QVariantList values;
    while (q->next())
        values << fromStoredValue(info->columns[size_t(i)], q->value(0));
    q->finish();
    return values;
}

bool Database::hasRows(const QString& table, PendingError& err)
{
    if (!m_conn) {
        error::objectInvalid(err);
        return false;
    }
    const std::shared_ptr<TableInfo> info = m_conn->table(table, err);
    if (!info)
        return false;
    QSqlQuery* q =
        m_conn->prepared(QStringLiteral("SELECT 1 FROM ") + info->quotedName + QStringLiteral(" LIMIT 1"), err);
    if (!q || !m_conn->run(*q, {}, err, info.get()))
        return false;
    const bool any = q->next();
    q->finish();
    return any;
}

bool Database::executeFixed(const QString& sql, PendingError& err)
{
    if (!m_conn) {
        error::objectInvalid(err);
        return false;
    }
    if (!m_conn->writeWaiting(nullptr, err))
        return false;
    const bool definition = isDefinitionStatement(sql);
    if (definition)
        m_conn->forgetMetadata();
    QSqlQuery q(m_conn->db);
    q.setForwardOnly(true);
    const bool ok = q.exec(sql);
    if (!ok)
        m_conn->raise(q.lastError(), err, nullptr);
    q.finish();
    // A statement of our own may change any table's rows.
    m_conn->rowsChanged(nullptr, nullptr);
    return ok;
}

bool Database::execute(const QString& sql, const QVariantList& values, PendingError& err,
                       std::vector<QVariantList>* rows)
{
    if (!m_conn) {
        error::objectInvalid(err);
        return false;
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
    m_conn->rowsChanged(nullptr, nullptr);
    return true;
}

int Database::machineFault() const
{
    return m_conn ? m_conn->machineFault : 0;
}

// ---------------------------------------------------------------------------
// createDatabase

namespace {

// Splits a script into statements at semicolons outside quotes, dropping
// "--" comments.
QStringList splitStatements(const QString& script)
{
    QStringList statements;
    QString current;
    QChar quote;
    for (qsizetype i = 0; i < script.size(); ++i) {
        const QChar c = script.at(i);
        if (!quote.isNull()) {
            current += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'-' && i + 1 < script.size() && script.at(i + 1) == u'-') {
            while (i < script.size() && script.at(i) != u'\n')
                ++i;
            current += u'\n';
            continue;
        }
        if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
            quote = c == u'[' ? QChar(u']') : c;
            current += c;
            continue;
        }
        if (c == u';') {
            // A trigger's body holds statements of its own up to its END.
            const QString sofar = current.trimmed();
            if (sofar.startsWith(QLatin1String("CREATE TRIGGER"), Qt::CaseInsensitive) &&
                !sofar.endsWith(QLatin1String("END"), Qt::CaseInsensitive)) {
                current += c;
                continue;
            }
            if (!current.trimmed().isEmpty())
                statements << current.trimmed();
            current.clear();
            continue;
        }
        current += c;
    }
    if (!current.trimmed().isEmpty())
        statements << current.trimmed();
    return statements;
}

} // namespace

bool createDatabase(const QString& path, const QString& schemaSql, QString* message)
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
            for (const QString& statement : splitStatements(schemaSql)) {
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
