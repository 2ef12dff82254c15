// The operator's message boxes: exact title, text, icon, buttons and default
// button, answered by the test; no scan cycle starts while one is open.
#include "WindowFixture.h"

#include "ExecutablePlant.h"

#include "intake/ScanCycle.h"

#include <QTest>

namespace {

TEST_F(WindowTest, EachQuestionShowsItsTitleTextIconButtonsAndDefaultAndNoScanCycleStartsWhileItIsOpen)
{
    using B = QMessageBox;
    struct Case {
        int (OperatorPrompt::*ask)(const QString&, const QString&); // none: a message
        QString title;
        QString text;
        B::Icon icon;
        B::StandardButtons buttons;
        B::StandardButton defaultButton;
        B::StandardButton click;
        int answer;
    };
    const Case cases[] = {
        {&OperatorPrompt::askYesNoCancel, QStringLiteral("$TX-VOV Server - PVC -"),
         QStringLiteral("A123 exists !\r\nDelete Job = Yes / Override Job = No"), B::Question,
         B::Yes | B::No | B::Cancel, B::No, B::Yes, Answer::Yes},
        {&OperatorPrompt::askRetryCancel, QStringLiteral("$TX-VOV Server ($et)"),
         QStringLiteral("Job: A123.$et not correct loaded!!\r\n\r\nNo piece found ??\r\nNo label data loaded ??\r\n"),
         B::Warning, B::Retry | B::Cancel, B::Retry, B::Cancel, Answer::Cancel},
        {nullptr, QStringLiteral("Server VOV - Produktionsdaten"), QStringLiteral("Wrong Filename :/plant/a.txt"),
         B::NoIcon, B::Ok, B::Ok, B::Ok, Answer::Ok},
    };
    for (const Case& c : cases) {
        int answer = Answer::Ok;
        const QString seen = answerModalBox(c.click, [&] {
            if (c.ask)
                answer = (frontend.messageBoxes().*c.ask)(c.title, c.text);
            else
                frontend.messageBoxes().showMessage(c.title, c.text);
        });
        SCOPED_TRACE(c.title.toStdString());
        EXPECT_EQ(seen, boxLooks(c.title, QString(c.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), c.icon,
                                 c.buttons, c.defaultButton, true));
        EXPECT_EQ(answer, c.answer);
    }

    // While the operator leaves a box open no cycle runs and no file moves;
    // the next cycle is armed one interval after the box closed.
    const QString in = dir.path() + QStringLiteral("/In");
    QDir(dir.path()).mkpath(QStringLiteral("In"));
    PlantTree::writeFile(in + QStringLiteral("/a.$tx"), {});
    ctx.settings.serverDir = in;
    ctx.settings.clientDir = dir.path();
    ctx.settings.scanInterval = 1100;

    StepImporter importer;
    ScanCycle cycle(ctx, importer);
    bool timerWhileOpen = true;
    int importsWhileOpen = -1;
    importer.step = [&] {
        const QString seen = answerModalBox(
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
        EXPECT_FALSE(seen.isEmpty());
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
