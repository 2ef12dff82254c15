// The operator's message boxes: exact title, text, icon, buttons and default
// button, answered by the test; no scan cycle starts while one is open.
#include "WindowFixture.h"

#include "intake/JobState.h"
#include "intake/ScanCycle.h"

#include <QTest>

namespace {

class MessageBoxes : public WindowTest {
protected:
    MessageBoxes() : WindowTest(true, true) {}
    MessageBoxPrompt& prompt() { return frontend.messageBoxes(); }
};

TEST_F(MessageBoxes, EachQuestionShowsItsTitleTextIconButtonsAndDefault)
{
    using B = QMessageBox;
    struct Case {
        const char* kind;
        QString title;
        QString text;
        B::Icon icon;
        B::StandardButtons buttons;
        B::StandardButton defaultButton;
        B::StandardButton click;
        int answer;
    };
    const Case cases[] = {
        {"exists", QStringLiteral("$TX-VOV Server - PVC -"),
         QStringLiteral("A123 exists !\r\nDelete Job = Yes / Override Job = No"), B::Question,
         B::Yes | B::No | B::Cancel, B::No, B::Yes, Answer::Yes},
        {"failed", QStringLiteral("$TX-VOV Server ($et)"),
         QStringLiteral("Job: A123.$et not correct loaded!!\r\n\r\nNo piece found ??\r\nNo label data loaded ??\r\n"),
         B::Warning, B::Retry | B::Cancel, B::Retry, B::Cancel, Answer::Cancel},
        {"message", QStringLiteral("Server VOV - Produktionsdaten"), QStringLiteral("Wrong Filename :/plant/a.txt"),
         B::NoIcon, B::Ok, B::Ok, B::Ok, Answer::Ok},
    };
    for (const Case& c : cases) {
        int answer = 0;
        const SeenBox seen = answerModalBox(c.click, [&] {
            const QString kind = QLatin1String(c.kind);
            if (kind == QLatin1String("exists"))
                answer = prompt().askYesNoCancel(c.title, c.text);
            else if (kind == QLatin1String("failed"))
                answer = prompt().askRetryCancel(c.title, c.text);
            else
                prompt().showMessage(c.title, c.text), answer = Answer::Ok;
        });
        SCOPED_TRACE(c.title.toStdString());
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.title, c.title);
        EXPECT_EQ(seen.text, QString(c.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        EXPECT_EQ(seen.icon, c.icon);
        EXPECT_EQ(seen.buttons, c.buttons);
        EXPECT_EQ(seen.defaultButton, c.defaultButton);
        EXPECT_EQ(seen.modality, Qt::ApplicationModal);
        EXPECT_EQ(answer, c.answer);
    }
}

// While the operator leaves a box open no cycle runs and no file moves; the
// next cycle is armed one interval after the box closed.
TEST_F(MessageBoxes, NoScanCycleStartsWhileABoxIsOpen)
{
    const QString in = dir.path() + QStringLiteral("/In");
    QDir(dir.path()).mkpath(QStringLiteral("In"));
    QFile job(in + QStringLiteral("/a.$tx"));
    ASSERT_TRUE(job.open(QIODevice::WriteOnly));
    job.close();
    ctx.settings.serverDir = in;
    ctx.settings.clientDir = dir.path();
    ctx.settings.scanInterval = 1100;

    StepImporter importer;
    ScanCycle cycle(ctx, importer);
    bool timerWhileOpen = true;
    int importsWhileOpen = -1;
    importer.step = [&] {
        const SeenBox seen = answerModalBox(
            QMessageBox::Retry,
            [&] {
                EXPECT_EQ(ctx.prompt.askRetryCancel(QStringLiteral("$TX-VOV Server"), QStringLiteral("x")),
                          Answer::Retry);
            },
            [&] {
                QTest::qWait(2500); // more than two intervals with the box open
                timerWhileOpen = ctx.tmrLoad.isActive();
                importsWhileOpen = importer.imports;
            });
        EXPECT_TRUE(seen.found);
    };
    ctx.tmrLoad.start(1100);
    cycle.runOnce();

    EXPECT_FALSE(timerWhileOpen);
    EXPECT_EQ(importsWhileOpen, 1);
    EXPECT_EQ(cycle.cyclesRun(), 1);
    EXPECT_TRUE(ctx.tmrLoad.isActive());
    EXPECT_EQ(ctx.tmrLoad.interval(), 1100);
    EXPECT_TRUE(QFile::exists(in + QStringLiteral("/a.$tx")));
}

} // namespace
