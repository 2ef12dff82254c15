#include "platform/db/JobDatabaseUrl.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* url;
    // Good: the fields. Bad: host holds a word the reason must contain.
    bool good;
    const char* host = "";
    const char* socketDir = "";
    const char* user = "";
    const char* database = "";
    const char* schema = "";
    int port = -1;
};

// Every URL --job-database= may meet, and what becomes of it. A good one
// also reads back the same from its own spelling (toString).
TEST(JobDatabaseUrl, ReadsTheFieldsOrSaysWhyNot)
{
    const Case cases[] = {
        {"postgresql://saw@db.plant:5433/jobs?schema=line1", true, "db.plant", "", "saw", "jobs", "line1", 5433},
        {"postgres://db.plant/jobs?schema=line_2", true, "db.plant", "", "", "jobs", "line_2"},
        {"POSTGRESQL://[::1]:6543/jobs?schema=line1", true, "::1", "", "", "jobs", "line1", 6543},
        {"postgresql:///jobs?host=/run/postgresql&schema=line1", true, "", "/run/postgresql", "", "jobs", "line1"},
        {"postgresql://saw@%2Frun%2Fpostgresql:5433/jobs?schema=line1", true, "", "/run/postgresql", "saw", "jobs",
         "line1", 5433},
        {"postgresql://%2frun%2fpg%20sock/jobs?schema=l", true, "", "/run/pg sock", "", "jobs", "l"},
        {"postgresql:///jobs?schema=line1", true, "", "", "", "jobs", "line1"},
        {"postgresql://db/job%20data?host=db2&schema=_x", false, "one host"},
        {"postgresql:///jobs?host=db2&schema=line1", true, "db2", "", "", "jobs", "line1"},
        {"postgresql://s%40w@db/plant%2Ddata?schema=line1", true, "db", "", "s@w", "plant-data", "line1"},

        {"postgresql://saw:secret@db/jobs?schema=line1", false, "password"},
        {"postgresql://saw:@db/jobs?schema=line1", false, "password"},
        {"postgresql://db/jobs?schema=line1&password=x", false, "password"},
        {"mysql://db/jobs?schema=line1", false, "postgresql://"},
        {"db/jobs", false, "postgresql://"},
        {"", false, "postgresql://"},
        {"postgresql://a,b/jobs?schema=line1", false, "one host"},
        {"postgresql://%2Frun/jobs?host=/tmp&schema=line1", false, "one host"},
        {"postgresql:///jobs?host=/a&host=/b&schema=line1", false, "one host"},
        {"postgresql:///jobs?host=&schema=line1", false, "empty host"},
        {"postgresql:///jobs?host=run/postgresql&schema=line1", false, "not absolute"},
        {"postgresql://%2Ework/jobs?schema=line1", false, "valid URL"},
        {"postgresql://db/jobs", false, "no schema"},
        {"postgresql://db/jobs?schema=", false, "plain"},
        {"postgresql://db/jobs?schema=Line1", false, "plain"},
        {"postgresql://db/jobs?schema=1line", false, "plain"},
        {"postgresql://db/jobs?schema=pg_line", false, "plain"},
        {"postgresql://db/jobs?schema=line-1", false, "plain"},
        {"postgresql://db/jobs?schema=line1&schema=line2", false, "twice"},
        {"postgresql://db/jobs?schema=line1&sslmode=require", false, "sslmode"},
        {"postgresql://db?schema=line1", false, "database name"},
        {"postgresql://db/?schema=line1", false, "database name"},
        {"postgresql://db/a/b?schema=line1", false, "database name"},
        {"postgresql://db:0/jobs?schema=line1", false, "port"},
        {"postgresql://db:99999/jobs?schema=line1", false, "valid URL"},
        {"postgresql://db/jobs?schema=line1#x", false, "fragment"},
        {"postgresql://db/my jobs?schema=line1", false, "valid URL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        JobDatabaseUrl url;
        url.schema = QStringLiteral("untouched");
        QString why;
        const bool ok = parseJobDatabaseUrl(QString::fromUtf8(c.url), url, &why);
        ASSERT_EQ(ok, c.good) << why.toStdString();
        if (!c.good) {
            EXPECT_TRUE(why.contains(QString::fromUtf8(c.host))) << why.toStdString();
            EXPECT_EQ(url.schema, QStringLiteral("untouched"));
            continue;
        }
        EXPECT_EQ(url.host, QString::fromUtf8(c.host));
        EXPECT_EQ(url.socketDir, QString::fromUtf8(c.socketDir));
        EXPECT_EQ(url.user, QString::fromUtf8(c.user));
        EXPECT_EQ(url.database, QString::fromUtf8(c.database));
        EXPECT_EQ(url.schema, QString::fromUtf8(c.schema));
        EXPECT_EQ(url.port, c.port);

        JobDatabaseUrl again;
        ASSERT_TRUE(parseJobDatabaseUrl(url.toString(), again, &why))
            << url.toString().toStdString() << ": " << why.toStdString();
        EXPECT_EQ(std::tie(again.host, again.socketDir, again.user, again.database, again.schema, again.port),
                  std::tie(url.host, url.socketDir, url.user, url.database, url.schema, url.port));
    }
}

} // namespace
