#include "platform/Report.h"

#include "TestDoubles.h"

#include <QLoggingCategory>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

Q_LOGGING_CATEGORY(otherCategory, "test.other")

QStringList g_passedOn; // what reached the handler installed before the reports'

// Each report reaches every sink once, standard error in the lines the
// journal has always had, held reports only when sent again; what else is
// logged goes on to the handler installed before, and logging rules cannot
// silence a report.
TEST(Reports, ReachEverySinkOnceWhileOtherMessagesGoOn)
{
    // Installed before the first reports of this process (each test runs
    // in a process of its own), so theirs comes on top of it.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& text) {
        g_passedOn << QString::fromLatin1(context.category) + QStringLiteral(": ") + text;
    });
    char* written = nullptr;
    size_t writtenSize = 0;
    std::FILE* out = open_memstream(&written, &writtenSize);
    ASSERT_NE(out, nullptr);
    StandardErrorReports standardError(out);
    MemoryErrorBox box;
    Reports reports;
    reports.addSink(standardError);
    reports.addSink(box);

    const QString start = QStringLiteral("05.12.2026 10:30:00: Start Server");
    const QString entry = QStringLiteral("05.12.2026 10:31:00:  ------------\r\nJob: a.$tx\r\nType mismatch");
    reports.send({ReportKind::Shown, start, {}});
    reports.send({ReportKind::Added, QStringLiteral("No notification area"), {}});
    reports.send({ReportKind::Answer, QStringLiteral("[question] T: Job: a.$tx\r\n\r\nx\r\n -> Retry"), {}});
    reports.hold();
    reports.send({ReportKind::Logged, QStringLiteral("held"), QStringLiteral("held")});
    EXPECT_EQ(reports.stopHolding().size(), 1u);
    reports.send({ReportKind::Logged, entry, QStringLiteral("Job: a.$tx\r\nType mismatch")});
    reports.send({ReportKind::Raised, {}, {}});
    qCWarning(otherCategory) << "passed on";
    QLoggingCategory::setFilterRules(QStringLiteral("vov.report=false"));
    reports.send({ReportKind::Shown, QStringLiteral("while the category is off"), {}});
    QLoggingCategory::setFilterRules(QString());

    EXPECT_EQ(QByteArray(written, static_cast<qsizetype>(writtenSize)),
              QByteArray("05.12.2026 10:30:00: Start Server\n"
                         "No notification area\n"
                         "[question] T: Job: a.$tx\r\n\r\nx\r\n -> Retry\n"
                         "05.12.2026 10:31:00:  ------------\nJob: a.$tx\nType mismatch\n"
                         "while the category is off\n"));
    EXPECT_EQ(box.history, QStringList({start, start + QStringLiteral("\r\nNo notification area"), entry,
                                        QStringLiteral("while the category is off")}));
    EXPECT_EQ(box.broughtToFront, 2);
    EXPECT_EQ(g_passedOn, QStringList{QStringLiteral("test.other: passed on")});
    std::fclose(out);
    std::free(written);
}

} // namespace
