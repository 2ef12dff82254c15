#include "platform/db/PostgresDialect.h"

#include "platform/db/Connection.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QLibrary>
#include <QSqlQuery>
#include <QTimeZone>

#include <utility>

namespace db {

namespace {

QString quoteIdentifier(const QString& identifier)
{
    QString q = identifier;
    q.replace(u'"', QLatin1String("\"\""));
    return u'"' + q + u'"';
}

// One value of the first row of a statement with bound values.
bool selectOne(QSqlDatabase& db, const QString& sql, const QVariantList& values, QVariant& out, QSqlError& error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        error = q.lastError();
        return false;
    }
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        error = q.lastError();
        return false;
    }
    out = q.next() ? q.value(0) : QVariant();
    return true;
}

// The type the store layer's columnKindOf knows, from information_schema.
QString declaredType(const QString& dataType, const QVariant& length)
{
    const QString sized = length.isNull() ? QString() : QStringLiteral("(%1)").arg(length.toInt());
    if (dataType == u"character varying")
        return QStringLiteral("VARCHAR") + sized;
    if (dataType == u"character")
        return QStringLiteral("CHAR") + sized;
    if (dataType == u"text")
        return QStringLiteral("LONGTEXT");
    if (dataType == u"double precision")
        return QStringLiteral("DOUBLE");
    if (dataType.startsWith(u"timestamp"))
        return QStringLiteral("TIMESTAMP");
    return dataType.toUpper(); // SMALLINT, INTEGER, BIGINT, REAL, NUMERIC, DATE, or one it does not know
}

// The server's message without the driver's additions: "ERROR:  " in front,
// "(SQLSTATE)" behind.
QString primaryMessage(const QSqlError& error)
{
    QString text = error.databaseText();
    const qsizetype end = text.indexOf(u'\n');
    if (end >= 0)
        text.truncate(end);
    static const QRegularExpression severity(QStringLiteral("^(ERROR|FATAL|PANIC):\\s+"));
    return text.remove(severity).trimmed();
}

} // namespace

PostgresDialect::PostgresDialect(QString schema) : m_schema(std::move(schema)) {}

QString PostgresDialect::driverName() const
{
    return QStringLiteral("QPSQL");
}

QString PostgresDialect::connectOptions(bool, int busyTimeoutMs) const
{
    // Over TCP the keepalives find a server that went away within a minute
    // (instead of the system's two hours); a socket ignores them.
    return QStringLiteral("application_name=serverquirnel;connect_timeout=10;keepalives=1;keepalives_idle=20;"
                          "keepalives_interval=10;keepalives_count=3;options='-c lock_timeout=%1'")
        .arg(qMax(0, busyTimeoutMs));
}

bool PostgresDialect::prepareConnection(QSqlDatabase& db, bool readOnly, QSqlError& error) const
{
    // The session's settings, in one statement: the driver runs a string
    // of several statements but reports only on the first.
    QString settings = QStringLiteral("SELECT set_config('search_path', '%1', false), "
                                      "set_config('application_name', 'serverquirnel', false), "
                                      "set_config('idle_in_transaction_session_timeout', '0', false), "
                                      "set_config('statement_timeout', '0', false), "
                                      "set_config('synchronous_commit', 'on', false)")
                           .arg(quoteIdentifier(m_schema).replace(u'\'', QLatin1String("''")));
    if (readOnly)
        settings += QStringLiteral(", set_config('default_transaction_read_only', 'on', false)");
    QSqlQuery q(db);
    if (!q.exec(settings)) {
        error = q.lastError();
        return false;
    }
    // Local times (DATETIME columns are timestamps without a zone) are
    // written and read in the session's time zone: it has to be the
    // machine's, or every time moves by the difference. A zone the server
    // does not know by its name becomes the machine's present offset.
    const QString zone = QString::fromLatin1(QTimeZone::systemTimeZoneId());
    static const QRegularExpression plainZone(QStringLiteral("^[A-Za-z0-9/_+-]+$"));
    bool zoneSet = plainZone.match(zone).hasMatch() &&
                   q.exec(QStringLiteral("SELECT set_config('TimeZone', '%1', false)").arg(zone));
    if (!zoneSet) {
        const int offset = QDateTime::currentDateTime().offsetFromUtc();
        if (!q.exec(QStringLiteral("SET TIME ZONE INTERVAL '%1 seconds'").arg(offset))) {
            error = q.lastError();
            return false;
        }
    }
    // Without its schema the server must not take a file: every table
    // would be missing, and that would be the file's fault.
    if (!q.exec(QStringLiteral("SELECT current_schema() IS NOT NULL"))) {
        error = q.lastError();
        return false;
    }
    if (!q.next() || !q.value(0).toBool()) {
        const QString text = QStringLiteral("schema \"%1\" does not exist or may not be used").arg(m_schema);
        error = QSqlError(QStringLiteral("QPSQL: no schema"), text, QSqlError::StatementError, QStringLiteral("3F000"));
        return false;
    }
    return true;
}

QString PostgresDialect::beginTransactionSql(bool readOnly) const
{
    // A reader sees the database as one moment: all of a job or none.
    return readOnly ? QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY") : QStringLiteral("BEGIN");
}

bool PostgresDialect::readTable(QSqlDatabase& db, const QString& name, Table& info, QSqlError& error) const
{
    // The real name: names are quoted (they keep their case), looked up in
    // any case as in SQLite; the exact spelling wins.
    QVariant real;
    if (!selectOne(db,
                   QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = "
                                  "current_schema() AND lower(table_name) = lower(?) ORDER BY table_name = ? DESC "
                                  "LIMIT 1"),
                   {name, name}, real, error))
        return false;
    if (real.isNull())
        return false;
    info.name = real.toString();

    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT column_name, data_type, character_maximum_length, is_nullable, column_default, "
                             "is_identity, is_generated FROM information_schema.columns WHERE table_schema = "
                             "current_schema() AND table_name = ? ORDER BY ordinal_position"));
    q.addBindValue(info.name);
    if (!q.exec()) {
        error = q.lastError();
        return false;
    }
    bool generated = false;
    while (q.next()) {
        const QString column = q.value(0).toString();
        const QString dataType = q.value(1).toString();
        const bool identity = q.value(5).toString() == u"YES" || q.value(4).toString().startsWith(u"nextval(");
        if (identity && info.keyColumn.isEmpty() && (dataType == u"bigint" || dataType == u"integer")) {
            info.keyColumn = column; // "RowKey"
            continue;
        }
        generated = generated || q.value(6).toString() == u"ALWAYS";
        Column c;
        c.name = column;
        c.kind = columnKindOf(declaredType(dataType, q.value(2)), &c.size);
        c.notNull = q.value(3).toString() == u"NO";
        info.columns.push_back(c);
    }
    q.finish();
    // A table without the surrogate key leaves keyColumn empty: PostgreSQL
    // has no row number of its own that stays with a row.

    // Foreign keys and triggers from the catalogue: information_schema
    // shows them only to a role that owns the table or may write to it.
    const QString regclass = QStringLiteral("to_regclass(quote_ident(current_schema()) || '.' || quote_ident(?))");
    QVariant parent;
    if (!selectOne(db,
                   QStringLiteral("SELECT p.relname FROM pg_constraint k JOIN pg_class p ON p.oid = k.confrelid "
                                  "WHERE k.contype = 'f' AND k.conrelid = %1 ORDER BY k.conname LIMIT 1")
                       .arg(regclass),
                   {info.name}, parent, error))
        return false;
    info.parentTable = parent.toString();

    return true;
}

bool PostgresDialect::prepareNewFile(QSqlDatabase&, QSqlError&) const
{
    return true;
}

void PostgresDialect::removeDatabaseFiles(const QString&) const {}

EngineFailure PostgresDialect::classify(const QSqlError& error) const
{
    using Kind = EngineFailure::Kind;
    const QString state = error.nativeErrorCode();
    const QString message = primaryMessage(error);
    EngineFailure f;
    f.detail = message.isEmpty() ? error.text().trimmed() : message;
    const auto is = [&state](const char* code) { return state == QLatin1String(code); };
    const auto inClass = [&state](const char* prefix) { return state.startsWith(QLatin1String(prefix)); };

    // No SQLSTATE: the server never answered (the connection was refused,
    // is lost, or the driver closed it after losing it).
    if (state.isEmpty() || inClass("08") || is("57P01") || is("57P02") || is("57P03") || inClass("58")) {
        f.kind = Kind::InputOutput;
        if (f.detail.isEmpty())
            f.detail = QStringLiteral("no connection to the database server");
    } else if (is("55P03") || is("40001") || is("40P01") || is("57014"))
        f.kind = Kind::Busy;
    else if (is("53100"))
        f.kind = Kind::Full;
    else if (inClass("53"))
        f.kind = Kind::InputOutput;
    else if (is("25006") || is("42501"))
        f.kind = Kind::ReadOnly;
    else if (is("XX001") || is("XX002") || is("3F000"))
        f.kind = Kind::NotADatabase;
    else if (is("23505"))
        f.kind = Kind::Unique;
    else if (is("23503"))
        f.kind = Kind::ForeignKey;
    else if (is("23502")) {
        f.kind = Kind::NotNull;
        // "null value in column "C" of relation "T" violates ..." -> "T.C", as SQLite names it.
        static const QRegularExpression names(QStringLiteral("column \"([^\"]+)\" of relation \"([^\"]+)\""));
        const QRegularExpressionMatch m = names.match(message);
        if (m.hasMatch())
            f.detail = m.captured(2) + u'.' + m.captured(1);
    } else if (is("42P01")) {
        f.kind = Kind::NoSuchTable;
        // The store layer takes the name after the colon, as SQLite writes it.
        static const QRegularExpression relation(QStringLiteral("relation \"([^\"]+)\""));
        const QRegularExpressionMatch m = relation.match(message);
        f.detail = QStringLiteral("no such table: ") + (m.hasMatch() ? m.captured(1) : message);
    }
    return f;
}

CreateSchemaResult createPostgresJobSchema(QSqlDatabase& db, const QString& schema, const QStringList& statements,
                                           QString* why)
{
    const auto result = [why](CreateSchemaResult r, const QString& reason) {
        if (why)
            *why = reason;
        return r;
    };
    QSqlError error;
    QVariant encoding;
    if (!selectOne(db,
                   QStringLiteral("SELECT pg_encoding_to_char(encoding) FROM pg_database WHERE datname = "
                                  "current_database()"),
                   {}, encoding, error))
        return result(CreateSchemaResult::Failed, error.text());
    if (encoding.toString() != u"UTF8")
        return result(CreateSchemaResult::Failed,
                      QStringLiteral("the database keeps its text in %1, not UTF8; create it with ENCODING 'UTF8'")
                          .arg(encoding.toString()));

    // The tables the statements make, as they name them.
    static const QRegularExpression createTable(QStringLiteral("^CREATE TABLE \"([^\"]+)\""));
    QStringList tables;
    for (const QString& s : statements) {
        const QRegularExpressionMatch m = createTable.match(s);
        if (m.hasMatch())
            tables << m.captured(1);
    }

    if (!db.transaction())
        return result(CreateSchemaResult::Failed, db.lastError().text());
    const auto abandon = [&db, &result](CreateSchemaResult r, const QString& reason) {
        db.rollback();
        return result(r, reason);
    };
    // A schema made beforehand (by an administrator, with its rights) is used.
    QVariant exists;
    if (!selectOne(db, QStringLiteral("SELECT count(*) FROM pg_namespace WHERE nspname = ?"), {schema}, exists, error))
        return abandon(CreateSchemaResult::Failed, error.text());
    QSqlQuery q(db);
    if ((exists.toInt() == 0 && !q.exec(QStringLiteral("CREATE SCHEMA %1").arg(quoteIdentifier(schema)))) ||
        !q.exec(QStringLiteral("SET LOCAL search_path TO %1").arg(quoteIdentifier(schema))))
        return abandon(CreateSchemaResult::Failed, q.lastError().text());

    // From the catalogue: information_schema would not show a table the
    // role has no rights on.
    q.prepare(QStringLiteral("SELECT relname FROM pg_class WHERE relnamespace = (SELECT oid FROM pg_namespace WHERE "
                             "nspname = ?) AND relname = ANY (string_to_array(?, ',')) ORDER BY relname"));
    q.addBindValue(schema);
    q.addBindValue(tables.join(u','));
    if (!q.exec())
        return abandon(CreateSchemaResult::Failed, q.lastError().text());
    QStringList present;
    while (q.next())
        present << q.value(0).toString();
    if (!present.isEmpty())
        return abandon(CreateSchemaResult::AlreadyThere,
                       QStringLiteral("the schema %1 already holds job database tables (%2); nothing was changed")
                           .arg(schema, present.join(QLatin1String(", "))));

    for (const QString& statement : statements) {
        if (!q.exec(statement))
            return abandon(CreateSchemaResult::Failed,
                           primaryMessage(q.lastError()) + QStringLiteral(" in: ") + statement.left(200));
    }
    q.finish();
    if (!db.commit())
        return abandon(CreateSchemaResult::Failed, db.lastError().text());
    return result(CreateSchemaResult::Created, {});
}

namespace {

// libpq as the driver loaded it: the few calls COPY needs, looked up at run
// time, so that a server on SQLite neither links nor installs libpq.
struct LibPq {
    using Exec = void* (*)(void*, const char*);
    using PutCopyData = int (*)(void*, const char*, int);
    using PutCopyEnd = int (*)(void*, const char*);
    using GetResult = void* (*)(void*);
    using ResultStatus = int (*)(const void*);
    using ErrorField = char* (*)(const void*, int);
    using ErrorMessage = char* (*)(const void*);
    using Clear = void (*)(void*);
    Exec exec = nullptr;
    PutCopyData putCopyData = nullptr;
    PutCopyEnd putCopyEnd = nullptr;
    GetResult getResult = nullptr;
    ResultStatus resultStatus = nullptr;
    ErrorField errorField = nullptr;
    ErrorMessage errorMessage = nullptr;
    Clear clear = nullptr;
    // libpq's ExecStatusType and PG_DIAG_SQLSTATE: part of its stable interface.
    static constexpr int CommandOk = 1;
    static constexpr int CopyIn = 4;
    static constexpr int SqlState = 'C';

    static const LibPq* get()
    {
        static const LibPq lib = [] {
            LibPq l;
            QLibrary pq(QStringLiteral("pq"), 5);
            if (!pq.load())
                return l;
            l.exec = reinterpret_cast<Exec>(pq.resolve("PQexec"));
            l.putCopyData = reinterpret_cast<PutCopyData>(pq.resolve("PQputCopyData"));
            l.putCopyEnd = reinterpret_cast<PutCopyEnd>(pq.resolve("PQputCopyEnd"));
            l.getResult = reinterpret_cast<GetResult>(pq.resolve("PQgetResult"));
            l.resultStatus = reinterpret_cast<ResultStatus>(pq.resolve("PQresultStatus"));
            l.errorField = reinterpret_cast<ErrorField>(pq.resolve("PQresultErrorField"));
            l.errorMessage = reinterpret_cast<ErrorMessage>(pq.resolve("PQresultErrorMessage"));
            l.clear = reinterpret_cast<Clear>(pq.resolve("PQclear"));
            return l;
        }();
        const bool complete = lib.exec && lib.putCopyData && lib.putCopyEnd && lib.getResult && lib.resultStatus &&
                              lib.errorField && lib.errorMessage && lib.clear;
        return complete ? &lib : nullptr;
    }

    // The error of a result, as the driver would report it (SQLSTATE as the code).
    QSqlError failure(void* result) const
    {
        const char* state = result ? errorField(result, SqlState) : nullptr;
        const char* message = result ? errorMessage(result) : nullptr;
        return QSqlError(QStringLiteral("Unable to copy rows"), QString::fromUtf8(message ? message : "").trimmed(),
                         QSqlError::StatementError, QString::fromLatin1(state ? state : ""));
    }
    // Runs the statement and ends its results; false with error on failure.
    bool finish(void* conn, QSqlError& error) const
    {
        bool ok = true;
        while (void* result = getResult(conn)) {
            if (ok && resultStatus(result) != CommandOk) {
                error = failure(result);
                ok = false;
            }
            clear(result);
        }
        return ok;
    }
};

// A value in COPY's text form: \N for Null, texts with their backslashes,
// tabs and line ends escaped.
void appendCopyValue(QByteArray& out, const Value& v)
{
    switch (v.kind) {
    case Value::Kind::Null:
        out += "\\N";
        return;
    case Value::Kind::Integer:
        out += QByteArray::number(v.integer);
        return;
    case Value::Kind::Real:
        out += QByteArray::number(v.real, 'g', 17);
        return;
    case Value::Kind::Text:
        break;
    }
    for (const char c : v.text.toUtf8()) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

} // namespace

bool PostgresDialect::copyRows(QSqlDatabase& db, const Table& table, const ColumnMask& columns,
                               const std::vector<const std::vector<Value>*>& rows, std::vector<qint64>& keys,
                               QSqlError& error) const
{
    const LibPq* pq = LibPq::get();
    const QVariant handle = db.driver()->handle();
    if (!pq || table.keyColumn.isEmpty() || !handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return false;
    void* conn = *static_cast<void* const*>(handle.constData());

    // The keys first, from the table's own sequence, so that the rows can
    // be changed later by key.
    // One server works on a schema (its plant lock), so a block of keys can
    // be taken from the sequence in one step.
    const QString sequence = QStringLiteral("pg_get_serial_sequence('%1', '%2')")
                                 .arg(QString(table.quotedName).replace(u'\'', QStringLiteral("''")),
                                      QString(table.keyColumn).replace(u'\'', QStringLiteral("''")));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT setval(%1, nextval(%1) + %2)").arg(sequence).arg(rows.size() - 1)) ||
        !q.next()) {
        error = q.lastError();
        return false;
    }
    const qint64 last = q.value(0).toLongLong();
    q.finish();
    keys.clear();
    for (qint64 key = last - qint64(rows.size()) + 1; key <= last; ++key)
        keys.push_back(key);

    QString sql = QStringLiteral("COPY ") + table.quotedName + QStringLiteral(" (") + table.quotedKey;
    for (int i = 0; i < int(table.columns.size()); ++i)
        if (columns.test(i))
            sql += QStringLiteral(", ") + table.quotedColumns[i];
    sql += QStringLiteral(") FROM STDIN");
    void* started = pq->exec(conn, sql.toUtf8().constData());
    if (!started || pq->resultStatus(started) != LibPq::CopyIn) {
        error = pq->failure(started);
        if (started)
            pq->clear(started);
        (void)pq->finish(conn, error);
        return false;
    }
    pq->clear(started);
    QByteArray data;
    for (size_t r = 0; r < rows.size(); ++r) {
        data += QByteArray::number(keys[r]);
        const std::vector<Value>& values = *rows[r];
        for (int i = 0; i < int(table.columns.size()); ++i) {
            if (columns.test(i)) {
                data += '\t';
                appendCopyValue(data, values[size_t(i)]);
            }
        }
        data += '\n';
    }
    const bool sent = pq->putCopyData(conn, data.constData(), int(data.size())) == 1;
    pq->putCopyEnd(conn, sent ? nullptr : "the rows could not be sent");
    return pq->finish(conn, error) && sent;
}

} // namespace db
