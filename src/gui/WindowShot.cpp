// Draws the operator window as the README shows it (Options tab, edit mode
// on, an import error in the error box) into a PNG file, without a display:
// run it on the offscreen platform (scripts/screenshot.sh).
#include "config/ServerContext.h"
#include "gui/WindowFrontend.h"
#include "TestDoubles.h"

#include <QApplication>
#include <QTabWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: window-shot FILE.png\n");
        return 2;
    }
    QApplication app(argc, argv);
    FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(10, 30, 0)));
    PolicyPrompt prompt(Answer::No, Answer::Cancel, {});
    MemorySettingsStore store;
    WindowFrontend frontend(true);
    ServerContext ctx(clock, prompt, store, frontend.errorBox());
    ctx.window = &frontend.window();

    SettingsForm& f = ctx.form;
    f.txtServer = QStringLiteral("~apppath~\\In");
    f.txtAnlage = QStringLiteral("~apppath~\\Client");
    f.txtRefresh = QStringLiteral("1500");
    f.txtExtension = QStringLiteral("$tx");
    f.txtExtensionEtikett = QStringLiteral("$et");
    f.txtExtensionStahl = QStringLiteral("$sx");
    f.chkAutoFreigabe = 1;
    f.chkWinkelConv = 1;
    f.chkSteeldata = 2;
    f.chkWriteLoadID = 1;
    f.cmbPrintertyp = 4;
    f.cmbWBAddData = 0;
    f.cmbSADefault = 2;
    f.editMode = true;
    frontend.attach(ctx);

    frmPROD& window = frontend.mainWindow();
    window.tabs()->setCurrentIndex(2);
    writeTotxtError(ctx, timeStamp(clock) + QStringLiteral(":  ------------\r\nJob: B7.$tx\r\nLine: 1\r\nCol: 16\r\n"
                                                           "Wrong ID: <Z>"));
    window.show();
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "window-shot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
