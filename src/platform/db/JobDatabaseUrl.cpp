#include "platform/db/JobDatabaseUrl.h"

#include <QUrl>
#include <QUrlQuery>

namespace {

bool refuse(QString* why, const QString& reason)
{
    if (why)
        *why = reason;
    return false;
}

QString passwordReason()
{
    return QStringLiteral("a password does not belong in the URL; give it to libpq in ~/.pgpass, "
                          "PGPASSFILE or PGPASSWORD");
}

// A name that needs no quotes in SQL when written in lower case, so that a
// reader can write line1."LosNamen"; "pg_" names are the server's own.
bool plainIdentifier(const QString& name)
{
    if (name.isEmpty() || name.size() > 63 || name.startsWith(QLatin1String("pg_")) ||
        name == QLatin1String("information_schema"))
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        const bool letter = (c >= u'a' && c <= u'z') || c == u'_';
        if (!letter && !(i > 0 && c >= u'0' && c <= u'9'))
            return false;
    }
    return true;
}

} // namespace

void JobDatabaseUrl::applyTo(QSqlDatabase& db) const
{
    // libpq takes a host that begins with "/" as a socket directory.
    db.setHostName(socketDir.isEmpty() ? host : socketDir);
    db.setPort(port);
    db.setUserName(user);
    db.setDatabaseName(database);
}

QString JobDatabaseUrl::toString() const
{
    QString text = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        text += QString::fromLatin1(QUrl::toPercentEncoding(user)) + u'@';
    text += host.contains(u':') ? u'[' + host + u']' : host;
    if (port >= 0)
        text += u':' + QString::number(port);
    text += u'/' + QString::fromLatin1(QUrl::toPercentEncoding(database)) + u'?';
    if (!socketDir.isEmpty())
        text += QStringLiteral("host=") + QString::fromLatin1(QUrl::toPercentEncoding(socketDir, "/")) + u'&';
    return text + QStringLiteral("schema=") + schema;
}

bool parseJobDatabaseUrl(const QString& text, JobDatabaseUrl& out, QString* why)
{
    const qsizetype schemeEnd = text.indexOf(QLatin1String("://"));
    const QString scheme = schemeEnd > 0 ? text.left(schemeEnd).toLower() : QString();
    if (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres"))
        return refuse(why, QStringLiteral("not a postgresql:// URL"));

    // The authority ("user@host:port") by hand first: QUrl takes no "/" in
    // a host, not even percent-encoded, and would name a second host or a
    // password less clearly.
    const qsizetype authorityStart = schemeEnd + 3;
    qsizetype authorityEnd = authorityStart;
    while (authorityEnd < text.size() && !QStringView(u"/?#").contains(text.at(authorityEnd)))
        ++authorityEnd;
    const QString authority = text.mid(authorityStart, authorityEnd - authorityStart);
    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0 && authority.left(at).contains(u':'))
        return refuse(why, passwordReason());
    const QString hostPort = authority.mid(at + 1);
    if (hostPort.contains(u','))
        return refuse(why, QStringLiteral("one host only"));

    JobDatabaseUrl url;
    QString rest = text;
    if (hostPort.startsWith(QLatin1String("%2F"), Qt::CaseInsensitive)) {
        const qsizetype colon = hostPort.indexOf(u':');
        const QString encoded = colon >= 0 ? hostPort.left(colon) : hostPort;
        url.socketDir = QUrl::fromPercentEncoding(encoded.toUtf8());
        rest = text.left(authorityStart + at + 1) + hostPort.mid(encoded.size()) + text.mid(authorityEnd);
    }

    const QUrl parsed(rest, QUrl::StrictMode);
    if (!parsed.isValid())
        return refuse(why, QStringLiteral("not a valid URL (%1)").arg(parsed.errorString().section(u';', 0, 0)));
    if (parsed.hasFragment())
        return refuse(why, QStringLiteral("a URL with a fragment (#)"));
    url.host = parsed.host(QUrl::FullyDecoded);
    url.user = parsed.userName(QUrl::FullyDecoded);
    url.port = parsed.port();
    if (url.port == 0)
        return refuse(why, QStringLiteral("port 0"));

    const QString path = parsed.path(QUrl::FullyEncoded);
    if (path.size() < 2)
        return refuse(why, QStringLiteral("no database name (postgresql://host/DATABASE?schema=NAME)"));
    if (path.indexOf(u'/', 1) >= 0)
        return refuse(why, QStringLiteral("a \"/\" in the database name"));
    url.database = QUrl::fromPercentEncoding(path.mid(1).toUtf8());

    bool schemaGiven = false;
    bool hostGiven = false;
    const QUrlQuery query(parsed);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("password"))
            return refuse(why, passwordReason());
        if (key == QLatin1String("schema")) {
            if (schemaGiven)
                return refuse(why, QStringLiteral("schema given twice"));
            schemaGiven = true;
            url.schema = value;
        } else if (key == QLatin1String("host")) {
            if (hostGiven || !url.host.isEmpty() || !url.socketDir.isEmpty())
                return refuse(why, QStringLiteral("one host only"));
            hostGiven = true;
            if (value.isEmpty())
                return refuse(why, QStringLiteral("an empty host parameter"));
            (value.contains(u'/') ? url.socketDir : url.host) = value;
        } else {
            return refuse(why, QStringLiteral("the parameter \"%1\" (the URL takes schema and host; other connection "
                                              "settings go in libpq's environment variables)")
                                   .arg(key));
        }
    }
    if (!url.socketDir.isEmpty() && !url.socketDir.startsWith(u'/'))
        return refuse(why, QStringLiteral("a socket directory that is not absolute"));
    if (!schemaGiven)
        return refuse(why, QStringLiteral("no schema (add ?schema=NAME, the machine's schema)"));
    if (!plainIdentifier(url.schema))
        return refuse(why, QStringLiteral("the schema \"%1\" is no plain name (a-z, 0-9 and _, not starting with a "
                                          "digit or \"pg_\")")
                               .arg(url.schema));
    out = url;
    return true;
}
