#include "platform/db/Recordset.h"

#include "platform/db/DbErrors.h"
#include "platform/db/StoreData.h"

#include <QSqlError>

#include <algorithm>

// Every row is addressed by the table's surrogate key: positioning is one
// indexed "SELECT key ... ORDER BY key LIMIT 1" statement (first, first
// match of criteria), so finding never reads a table into memory and costs
// the same in a small and in a large database. A value of the current row
// is read when it is first asked for and kept until the row changes: the
// readers look at a few columns of rows that have fifty. A row this
// recordset has just stored is not read back: its written values are
// known, and inside the connection's transaction nobody else can have
// changed it.

namespace db {

namespace {

bool usable(const RecordsetData& d, PendingError& err)
{
    if (d.conn && d.info)
        return true;
    error::objectInvalid(err);
    return false;
}

void dropBuffer(RecordsetData& d)
{
    d.buffer = RecordsetData::Buffer::None;
    for (int i = 0; i < d.dirty.size(); ++i) {
        if (d.dirty.at(i)) {
            d.bufferValues[size_t(i)] = QVariant();
            d.dirty[i] = 0;
        }
    }
}

// An empty buffer for the current table.
void openBuffer(RecordsetData& d, RecordsetData::Buffer kind)
{
    dropBuffer(d);
    const size_t n = d.info->columns.size();
    if (d.bufferValues.size() != n) {
        d.bufferValues.assign(n, QVariant());
        d.dirty.fill(0, qsizetype(n));
    }
    d.buffer = kind;
}

// The row with this key is now the current row; none of its values are
// read yet.
void takeKey(RecordsetData& d, qint64 key)
{
    d.currentKey = key;
    d.rowValues.resize(d.info->columns.size());
    d.loaded.fill(RecordsetData::NotLoaded, qsizetype(d.info->columns.size()));
    d.onRow = true;
    d.deleted = false;
    d.currentKnown = true;
    d.bof = d.eof = false;
}

// Positioning statements, cached by what they look for: 'F'/'L' the first
// or last row of the recordset, 'C' + columns the first row matching them.
// They select the key alone: a find through the index of the searched
// columns never touches the table.
QSqlQuery* seekQuery(RecordsetData& d, const BoundCondition& condition, bool last, PendingError& err)
{
    QByteArray cacheKey(1, last ? 'L' : (condition.columns.isEmpty() ? 'F' : 'C'));
    cacheKey += condition.columns;
    auto it = d.seekQueries.constFind(cacheKey);
    if (it != d.seekQueries.cend())
        return it.value();
    const TableInfo& t = *d.info;
    QStringList where;
    if (!d.filterSql.isEmpty())
        where << d.filterSql;
    if (!condition.columns.isEmpty())
        where << condition.sql(t);
    QString sql = QStringLiteral("SELECT ") + t.quotedKey + QStringLiteral(" FROM ") + t.quotedName;
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY ") + t.quotedKey + (last ? QStringLiteral(" DESC") : QString()) +
           QStringLiteral(" LIMIT 1");
    QSqlQuery* q = d.conn->prepared(sql, err);
    if (q)
        d.seekQueries.insert(cacheKey, q);
    return q;
}

// Runs a statement that yields at most one key; found tells whether it did.
bool firstKey(RecordsetData& d, QSqlQuery& q, qint64& key, bool& found, PendingError& err)
{
    found = false;
    if (!d.conn->exec(q, err, d.info.get(), ConnectionData::Reach::Table))
        return false;
    if (q.next()) {
        key = q.value(0).toLongLong();
        found = true;
    } else if (q.lastError().isValid() && q.lastError().type() != QSqlError::NoError) {
        d.conn->raise(q.lastError(), err, d.info.get());
        q.finish();
        return false;
    }
    q.finish();
    return true;
}

// Moves to the first row that matches the filter and the condition; found
// is false, and the position unchanged, when there is none.
bool seek(RecordsetData& d, const BoundCondition& condition, bool& found, PendingError& err)
{
    found = false;
    QSqlQuery* q = seekQuery(d, condition, false, err);
    if (!q)
        return false;
    int i = 0;
    for (const QVariant& v : d.filter.values)
        bindAt(*q, i++, v);
    for (const QVariant& v : condition.values)
        bindAt(*q, i++, v);
    qint64 key = 0;
    if (!firstKey(d, *q, key, found, err))
        return false;
    if (found)
        takeKey(d, key);
    return true;
}

// Whether a row with this key exists (whatever the filter says: a row this
// recordset stored belongs to it).
bool rowExists(RecordsetData& d, qint64 key, bool& found, PendingError& err)
{
    TableInfo& t = *d.info;
    if (!t.existsQuery) {
        t.existsQuery =
            d.conn->prepared(QStringLiteral("SELECT ") + t.quotedKey + QStringLiteral(" FROM ") + t.quotedName +
                                 QStringLiteral(" WHERE ") + t.quotedKey + QStringLiteral(" = ?"),
                             err);
        if (!t.existsQuery)
            return false;
    }
    bindAt(*t.existsQuery, 0, key);
    qint64 ignored = 0;
    return firstKey(d, *t.existsQuery, ignored, found, err);
}

// There is a current row that was not deleted.
bool onLiveRow(const RecordsetData& d, PendingError& err)
{
    if (!d.onRow) {
        error::noCurrentRecord(err);
        return false;
    }
    if (d.deleted) {
        error::recordDeleted(err);
        return false;
    }
    return true;
}

// One value of the current row, read from the table when not known yet.
bool columnValue(RecordsetData& d, int i, PendingError& err)
{
    if (!onLiveRow(d, err))
        return false;
    TableInfo& t = *d.info;
    const char state = d.loaded.at(i);
    if (state == RecordsetData::Loaded)
        return true;
    if (state == RecordsetData::WrittenNull) {
        d.rowValues[size_t(i)] = QVariant();
        d.loaded[i] = RecordsetData::Loaded;
        return true;
    }
    if (state == RecordsetData::Written) {
        d.rowValues[size_t(i)] = fromStoredValue(t.columns[size_t(i)], d.rowValues[size_t(i)]);
        d.loaded[i] = RecordsetData::Loaded;
        return true;
    }
    if (!writeDeferredInsert(d, err))
        return false;
    QSqlQuery* q = t.columnQueries.value(i);
    if (!q) {
        q = d.conn->prepared(QStringLiteral("SELECT ") + t.quotedColumns[i] + QStringLiteral(" FROM ") + t.quotedName +
                                 QStringLiteral(" WHERE ") + t.quotedKey + QStringLiteral(" = ?"),
                             err);
        if (!q)
            return false;
        t.columnQueries.insert(i, q);
    }
    bindAt(*q, 0, d.currentKey);
    if (!d.conn->exec(*q, err, d.info.get(), ConnectionData::Reach::Table))
        return false;
    const bool found = q->next();
    if (found)
        d.rowValues[size_t(i)] = fromStoredValue(t.columns[size_t(i)], q->value(0));
    q->finish();
    if (!found) {
        d.deleted = true; // removed behind this recordset's back
        error::recordDeleted(err);
        return false;
    }
    d.loaded[i] = RecordsetData::Loaded;
    return true;
}

// Whether a value written to a column reads back as written; the kinds the
// conversions do not know are left to the engine.
bool readsBackAsWritten(const TableInfo& t, const Column& c)
{
    return t.writesAsGiven && c.kind != ColumnKind::Other;
}

QString columnList(const TableInfo& t, const QByteArray& dirty, const QString& suffix)
{
    QStringList parts;
    for (int i = 0; i < dirty.size(); ++i)
        if (dirty.at(i))
            parts << t.quotedColumns[i] + suffix;
    return parts.join(QStringLiteral(", "));
}

QSqlQuery* insertQuery(RecordsetData& d, const QByteArray& dirty, PendingError& err)
{
    TableInfo& t = *d.info;
    auto it = t.insertQueries.constFind(dirty);
    if (it != t.insertQueries.cend())
        return it.value();
    QString sql = QStringLiteral("INSERT INTO ") + t.quotedName;
    const QString columns = columnList(t, dirty, QString());
    if (columns.isEmpty()) {
        sql += QStringLiteral(" DEFAULT VALUES");
    } else {
        QStringList marks;
        for (char c : dirty)
            if (c)
                marks << QStringLiteral("?");
        sql += QStringLiteral(" (") + columns + QStringLiteral(") VALUES (") + marks.join(QStringLiteral(", ")) +
               QStringLiteral(")");
    }
    QSqlQuery* q = d.conn->prepared(sql, err);
    if (q)
        t.insertQueries.insert(dirty, q);
    return q;
}

QSqlQuery* updateQuery(RecordsetData& d, PendingError& err)
{
    TableInfo& t = *d.info;
    auto it = t.updateQueries.constFind(d.dirty);
    if (it != t.updateQueries.cend())
        return it.value();
    const QString sql = QStringLiteral("UPDATE ") + t.quotedName + QStringLiteral(" SET ") +
                        columnList(t, d.dirty, QStringLiteral(" = ?")) + QStringLiteral(" WHERE ") + t.quotedKey +
                        QStringLiteral(" = ?");
    QSqlQuery* q = d.conn->prepared(sql, err);
    if (q)
        t.updateQueries.insert(d.dirty, q);
    return q;
}

// Binds the values of the columns written, in column order.
int bindColumns(const QByteArray& dirty, const std::vector<QVariant>& values, QSqlQuery& q)
{
    int at = 0;
    for (int i = 0; i < dirty.size(); ++i)
        if (dirty.at(i))
            bindAt(q, at++, values[size_t(i)]);
    return at;
}

int bindDirty(const RecordsetData& d, QSqlQuery& q)
{
    return bindColumns(d.dirty, d.bufferValues, q);
}

// Adds a row of the given columns; it becomes lastModified(), and what was
// written to it is kept (the values move there) for making it current
// again without reading it back. A column not written is Null unless the
// table gives it a default, which is read when asked for.
bool insertRow(RecordsetData& d, const QByteArray& dirty, std::vector<QVariant>& values, PendingError& err)
{
    QSqlQuery* q = insertQuery(d, dirty, err);
    if (!q)
        return false;
    bindColumns(dirty, values, *q);
    if (!d.conn->exec(*q, err, d.info.get(), ConnectionData::Reach::Table))
        return false;
    d.lastModified = q->lastInsertId().toLongLong();
    q->finish();
    const TableInfo& t = *d.info;
    d.writtenValues.resize(values.size());
    d.written.fill(RecordsetData::NotLoaded, dirty.size());
    if (t.writesAsGiven) {
        for (int i = 0; i < dirty.size(); ++i) {
            const Column& c = t.columns[size_t(i)];
            if (!dirty.at(i)) {
                if (!c.hasDefault)
                    d.written[i] = RecordsetData::WrittenNull;
            } else if (readsBackAsWritten(t, c)) {
                d.writtenValues[size_t(i)] = std::move(values[size_t(i)]);
                d.written[i] = RecordsetData::Written;
            }
        }
    }
    d.lastModifiedKnown = d.conn->inTransaction && t.writesAsGiven;
    return true;
}

bool storeNew(RecordsetData& d, PendingError& err)
{
    return insertRow(d, d.dirty, d.bufferValues, err);
}

// The row last stored becomes the current one, its written values known.
void takeLastModified(RecordsetData& d)
{
    takeKey(d, d.lastModified);
    if (d.written.size() == d.loaded.size()) {
        d.loaded = d.written;
        for (int i = 0; i < d.written.size(); ++i)
            if (d.written.at(i) == RecordsetData::Written)
                d.rowValues[size_t(i)] = d.writtenValues[size_t(i)];
    }
}

// Whether the INSERT of a new row may wait for the update of its edit and
// go in as one statement with it: inside a transaction (nobody sees the
// row before the commit anyway), on a table that stores rows as given,
// and only when the row as stored would not be refused for a missing
// value that the edit then supplies.
bool insertMayWait(const RecordsetData& d)
{
    const TableInfo& t = *d.info;
    if (!d.conn->inTransaction || !t.writesAsGiven)
        return false;
    for (int i = 0; i < d.dirty.size(); ++i) {
        const Column& c = t.columns[size_t(i)];
        if (c.notNull && !c.hasDefault && !d.dirty.at(i))
            return false;
    }
    return true;
}

// Stores the new row of the buffer without writing it yet: it becomes the
// current row, open for editing, with the values it was stored with.
void deferInsert(RecordsetData& d)
{
    const size_t n = d.info->columns.size();
    std::swap(d.deferredValues, d.bufferValues); // deferredValues holds only Nulls
    if (d.bufferValues.size() != n)
        d.bufferValues.assign(n, QVariant());
    d.deferredDirty = d.dirty;
    d.dirty.fill(0);
    takeKey(d, 0);
    const TableInfo& t = *d.info;
    for (size_t i = 0; i < n; ++i) {
        const Column& c = t.columns[i];
        if (!d.deferredDirty.at(qsizetype(i))) {
            if (!c.hasDefault)
                d.loaded[qsizetype(i)] = RecordsetData::WrittenNull;
        } else if (readsBackAsWritten(t, c)) {
            d.rowValues[i] = d.deferredValues[i];
            d.loaded[qsizetype(i)] = RecordsetData::Written;
        }
    }
    d.insertDeferred = true;
    d.conn->waiting.push_back(&d);
    d.buffer = RecordsetData::Buffer::Edit;
}

void forgetDeferredValues(RecordsetData& d)
{
    for (int i = 0; i < d.deferredDirty.size(); ++i)
        if (d.deferredDirty.at(i))
            d.deferredValues[size_t(i)] = QVariant();
}

bool storeEdit(RecordsetData& d, PendingError& err);

// The update of an edit of a row whose INSERT waits: both in one INSERT.
// An edit of a column the row was stored with is written as it was asked
// for, an INSERT and an UPDATE.
bool storeDeferredWithEdit(RecordsetData& d, PendingError& err)
{
    for (int i = 0; i < d.dirty.size(); ++i)
        if (d.dirty.at(i) && d.deferredDirty.at(i))
            return writeDeferredInsert(d, err) && storeEdit(d, err);
    d.stopWaiting();
    QByteArray columns = d.deferredDirty;
    for (int i = 0; i < d.dirty.size(); ++i) {
        if (d.dirty.at(i)) {
            columns[i] = 1;
            d.deferredValues[size_t(i)] = std::move(d.bufferValues[size_t(i)]);
        }
    }
    const bool ok = insertRow(d, columns, d.deferredValues, err);
    d.deferredDirty = columns;
    forgetDeferredValues(d);
    if (!ok) {
        d.onRow = false; // the row never was
        return false;
    }
    takeLastModified(d);
    return true;
}
bool storeEdit(RecordsetData& d, PendingError& err)
{
    if (!d.dirty.contains(char(1))) {
        d.lastModified = d.currentKey;
        d.lastModifiedKnown = d.conn->inTransaction && d.currentKnown;
        d.written.fill(RecordsetData::NotLoaded);
        return true;
    }
    QSqlQuery* q = updateQuery(d, err);
    if (!q)
        return false;
    bindAt(*q, bindDirty(d, *q), d.currentKey);
    if (!d.conn->exec(*q, err, d.info.get(), ConnectionData::Reach::Table))
        return false;
    const int n = q->numRowsAffected();
    q->finish();
    if (n == 0) {
        d.deleted = true;
        error::recordDeleted(err);
        return false;
    }
    d.lastModified = d.currentKey;
    d.currentKnown = d.info->writesAsGiven;
    d.lastModifiedKnown = d.conn->inTransaction && d.info->writesAsGiven;
    d.written.fill(RecordsetData::NotLoaded);
    d.conn->rowsChanged(d.info.get(), &d);
    if (!d.info->writesAsGiven)
        d.loaded.fill(RecordsetData::NotLoaded);
    // The current row now holds what was written.
    for (int i = 0; i < d.dirty.size(); ++i) {
        if (!d.dirty.at(i))
            continue;
        if (readsBackAsWritten(*d.info, d.info->columns[size_t(i)])) {
            d.rowValues[size_t(i)] = std::move(d.bufferValues[size_t(i)]);
            d.loaded[i] = RecordsetData::Written;
        } else {
            d.loaded[i] = RecordsetData::NotLoaded;
        }
    }
    return true;
}

// Anything but setting fields and storing the edit writes a waiting INSERT
// first; a failure then goes to the next statement of the connection when
// nobody asked.
void writeWaitingInsert(RecordsetData& d)
{
    PendingError err;
    if (d.insertDeferred && !writeDeferredInsert(d, err))
        d.conn->deferredFailure = err;
}

} // namespace

bool writeDeferredInsert(RecordsetData& d, PendingError& err)
{
    if (!d.insertDeferred)
        return true;
    d.stopWaiting();
    const bool ok = insertRow(d, d.deferredDirty, d.deferredValues, err);
    forgetDeferredValues(d);
    if (!ok) {
        dropBuffer(d);
        d.onRow = false; // the row never was
        return false;
    }
    // The row stays current, its edit open, now with its key.
    d.currentKey = d.lastModified;
    return true;
}

Recordset::Recordset() : d(std::make_unique<RecordsetData>()) {}

Recordset::~Recordset()
{
    close();
}

void Recordset::close()
{
    writeWaitingInsert(*d);
    d->detach();
    d->noMatch = false;
    d->lastModified = 0;
    d->lastModifiedKnown = false;
}

bool Recordset::findFirst(const Criteria& criteria, PendingError& err)
{
    d->noMatch = true;
    if (!usable(*d, err) || !writeDeferredInsert(*d, err))
        return false;
    dropBuffer(*d);
    BoundCondition c;
    if (!d->conn->condition(*d->info, criteria, c, err))
        return false;
    bool found = false;
    if (!seek(*d, c, found, err))
        return false;
    d->noMatch = !found;
    return true;
}

bool Recordset::noMatch() const
{
    return d->noMatch;
}

bool Recordset::moveFirstIfAny(PendingError& err)
{
    if (!usable(*d, err) || !writeDeferredInsert(*d, err))
        return false;
    dropBuffer(*d);
    bool found = false;
    if (!seek(*d, BoundCondition(), found, err))
        return false;
    if (!found) {
        d->onRow = false;
        d->bof = d->eof = true;
    }
    return true;
}

bool Recordset::moveFirst(PendingError& err)
{
    if (!moveFirstIfAny(err))
        return false;
    if (!d->onRow) {
        error::noCurrentRecord(err);
        return false;
    }
    return true;
}

bool Recordset::eof() const
{
    return d->eof;
}

bool Recordset::isEmpty() const
{
    return d->eof && d->bof;
}

bool Recordset::addNew(PendingError& err)
{
    if (!usable(*d, err) || !writeDeferredInsert(*d, err))
        return false;
    openBuffer(*d, RecordsetData::Buffer::New);
    return true;
}

bool Recordset::edit(PendingError& err)
{
    if (!usable(*d, err) || !writeDeferredInsert(*d, err))
        return false;
    dropBuffer(*d);
    if (!onLiveRow(*d, err))
        return false;
    openBuffer(*d, RecordsetData::Buffer::Edit);
    return true;
}

bool Recordset::update(PendingError& err)
{
    if (!usable(*d, err))
        return false;
    bool ok = false;
    switch (d->buffer) {
    case RecordsetData::Buffer::None:
        error::updateWithoutEdit(err);
        return false;
    case RecordsetData::Buffer::New:
        ok = storeNew(*d, err);
        break;
    case RecordsetData::Buffer::Edit:
        ok = d->insertDeferred ? storeDeferredWithEdit(*d, err) : storeEdit(*d, err);
        break;
    }
    // A failed store keeps the buffer open, as the engine did.
    if (ok)
        dropBuffer(*d);
    return ok;
}

bool Recordset::remove(PendingError& err)
{
    if (!usable(*d, err) || !writeDeferredInsert(*d, err))
        return false;
    dropBuffer(*d);
    if (!onLiveRow(*d, err))
        return false;
    TableInfo& t = *d->info;
    if (!t.deleteRowQuery) {
        t.deleteRowQuery = d->conn->prepared(QStringLiteral("DELETE FROM ") + t.quotedName + QStringLiteral(" WHERE ") +
                                                 t.quotedKey + QStringLiteral(" = ?"),
                                             err);
        if (!t.deleteRowQuery)
            return false;
    }
    QSqlQuery* q = t.deleteRowQuery;
    bindAt(*q, 0, d->currentKey);
    if (!d->conn->exec(*q, err, d->info.get()))
        return false;
    const int n = q->numRowsAffected();
    q->finish();
    d->deleted = true;
    d->lastModifiedKnown = false;
    if (n == 0) {
        error::recordDeleted(err); // removed behind this recordset's back
        return false;
    }
    d->conn->rowsChanged(nullptr, d.get()); // cascades reach other tables
    return true;
}

qint64 Recordset::lastModified() const
{
    writeWaitingInsert(*d);
    return d->lastModified;
}

bool Recordset::updateAndEdit(PendingError& err)
{
    if (!usable(*d, err))
        return false;
    if (d->buffer != RecordsetData::Buffer::New || !insertMayWait(*d))
        return update(err) && moveTo(lastModified(), err) && edit(err);
    // A waiting row of the same table (or one its foreign key leads to or
    // from) goes in first: rows are written in the order they were stored.
    if (!d->conn->writeWaiting(d->info.get(), err))
        return false;
    deferInsert(*d);
    return true;
}

bool Recordset::moveTo(qint64 bookmark, PendingError& err)
{
    if (!usable(*d, err) || !writeDeferredInsert(*d, err))
        return false;
    dropBuffer(*d);
    if (bookmark > 0 && bookmark == d->lastModified && d->lastModifiedKnown) {
        // The row this recordset just stored: it exists, and what was
        // written to it is known.
        if (d->onRow && !d->deleted && d->currentKey == bookmark)
            return true;
        takeLastModified(*d);
        return true;
    }
    bool found = false;
    if (bookmark > 0 && !rowExists(*d, bookmark, found, err))
        return false;
    if (!found) {
        error::notValidBookmark(err);
        return false;
    }
    takeKey(*d, bookmark);
    return true;
}

QVariant Recordset::field(const QString& name, PendingError& err) const
{
    if (!usable(*d, err))
        return {};
    const int i = d->info->indexOf(name);
    if (i < 0) {
        error::itemNotFound(err);
        return {};
    }
    const Column& column = d->info->columns[size_t(i)];
    if (d->buffer != RecordsetData::Buffer::None && d->dirty.at(i))
        return fromStoredValue(column, d->bufferValues[size_t(i)]);
    if (d->buffer == RecordsetData::Buffer::New)
        return {};
    if (!columnValue(*d, i, err))
        return {};
    return d->rowValues[size_t(i)];
}

bool Recordset::setField(const QString& name, const QVariant& value, PendingError& err)
{
    if (!usable(*d, err))
        return false;
    const int i = d->info->indexOf(name);
    if (i < 0) {
        error::itemNotFound(err);
        return false;
    }
    if (d->buffer == RecordsetData::Buffer::None) {
        error::updateWithoutEdit(err);
        return false;
    }
    QVariant stored;
    if (!toColumnValue(d->info->columns[size_t(i)], value, stored, err))
        return false;
    d->bufferValues[size_t(i)] = std::move(stored);
    d->dirty[i] = 1;
    return true;
}

bool Recordset::hasField(const QString& name) const
{
    return d->info && d->info->indexOf(name) >= 0;
}

} // namespace db
