#pragma once

#include <QSqlDatabase>
#include <QString>

// A job database on a PostgreSQL server, as --job-database=URL names it:
//
//   postgresql://[user@]host[:port]/dbname?schema=NAME
//
// with the machine's schema as our own parameter. A Unix socket directory
// is given as ?host=/run/postgresql or as the host itself, percent-encoded
// (postgresql://%2Frun%2Fpostgresql/plant?schema=line1). No host at all is
// libpq's default socket. A password never goes into the URL (it would
// show in the process list and the unit file); libpq finds it in
// ~/.pgpass, PGPASSFILE or PGPASSWORD. Other connection settings (TLS,
// timeouts) come from libpq's environment variables (PGSSLMODE, ...).
struct JobDatabaseUrl {
    QString host;      // host name or address; empty for a socket
    QString socketDir; // absolute directory of the server's Unix socket
    QString user;      // empty: libpq's default, the login name
    QString database;
    QString schema; // a plain identifier: a-z, 0-9 and _, not starting with a digit or "pg_"
    int port = -1;  // -1: libpq's default

    // Host name, port, user and database name of a QPSQL connection.
    void applyTo(QSqlDatabase& db) const;
    // The URL in one spelling, for messages and logs.
    [[nodiscard]] QString toString() const;
};

// Reads a job database URL. False, with the reason in *why, for another
// scheme, a password, a second host, a missing or unusable database or
// schema name, a parameter other than schema and host, or anything that
// is no URL; out is left as it was then.
bool parseJobDatabaseUrl(const QString& text, JobDatabaseUrl& out, QString* why);
