#pragma once

#include <QSqlDatabase>
#include <QString>

namespace db {

// One machine's schema, one server: two servers on the same job database
// tables would roll back and move each other's jobs. On a PostgreSQL job
// database the server holds a session advisory lock on its schema for as
// long as it works there. The lock belongs to the connection: give it one
// of its own, kept open, not the import's (the server drops the lock when
// the session ends, however it ends, so a server that was killed keeps no
// one out). After the connection was lost, take() it again.
//
// The key is the pair (hashtext('serverquirnel'), hashtext(schema)) in the
// database the connection is on: the same for every client of that server.
class PlantAdvisoryLock {
public:
    enum class Result {
        Taken,         // this session holds it now
        HeldElsewhere, // another session holds it; the text names that session
        Failed         // the server could not be asked; the text says why
    };

    PlantAdvisoryLock() = default;
    ~PlantAdvisoryLock();
    PlantAdvisoryLock(const PlantAdvisoryLock&) = delete;
    PlantAdvisoryLock& operator=(const PlantAdvisoryLock&) = delete;

    // Takes the lock of schema on db's session, letting go of one held
    // before. text (when given) gets the holder or the failure.
    Result take(const QSqlDatabase& db, const QString& schema, QString* text = nullptr);
    // Lets go; nothing to do when the session is gone already.
    void release();
    // Whether the session still holds it (asks the server; false when the
    // connection is lost: the lock went with it).
    [[nodiscard]] bool held();
    [[nodiscard]] const QString& schema() const { return m_schema; }

    // The session that holds the lock of schema, in words: "session 4711
    // (serverquirnel from 10.0.3.7, user saw, since 2024-05-02 06:14:03)";
    // empty when none does or it cannot be told.
    static QString holder(const QSqlDatabase& db, const QString& schema);

private:
    QSqlDatabase m_db;
    QString m_schema;
    bool m_taken = false;
};

} // namespace db
