// The operator window: fields bound to the configuration, edit mode, the
// three-state boxes, the file commands, the error box and the chrome.
#include "WindowFixture.h"

#include "intake/JobState.h"
#include "intake/ScanCycle.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTest>

namespace {

const char* const kFields[] = {"txtServer", "txtRefresh", "txtAnlage", "txtBackup", "txtExtension",
                               "txtExtensionEtikett", "txtExtensionStahl", "chkAutoFreigabe", "chkLoadMode",
                               "chkWinkelConv", "chkDEandKTN", "chkSteeldata", "chkSetPVCPieceNum",
                               "chkWriteLoadID", "chkWinkelIDConv", "chkFachNr4Digit", "chkProfilNr3Digit",
                               "cmbPrintertyp", "cmbWBAddData", "cmbSADefault"};

TEST_F(WindowTest, HasTheCaptionTabsListsAndMenuOfTheSettingsWindow)
{
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Prod-Daten-Server (VOV: $TX)"));
    QTabWidget* tabs = window().tabs();
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("Options"));
    for (const char* name : kFields)
        EXPECT_NE(field<QWidget>(name), nullptr) << name;
    EXPECT_EQ(field<QComboBox>("cmbPrintertyp")->itemText(5), QStringLiteral("Imaje (DOS)"));
    EXPECT_EQ(field<QComboBox>("cmbSADefault")->count(), 4);
    EXPECT_TRUE(field<QLabel>("VersionNum")->text().startsWith(u'V'));
    QStringList items;
    for (const char* name : {"mnuSave", "mnuSaveAs", "mnuLoad", "mnuEditModus", "mnu_exit"})
        items << menu(name)->text();
    EXPECT_EQ(items.join(u'|'), QStringLiteral("&Save|Save &As|&Load|E&dit On/Off|E&xit"));
}

TEST_F(WindowTest, LoadFillsTheFieldsAndSaveWritesWhatTheOperatorChanged)
{
    writeConfig("\"ServerPath\",\"/plant/In\"\n\"RefreshZyklus\",\"2000\"\n\"AutoFreigabe\",\" 0\"\n"
                "\"Steeldata\",2\n\"JobLoadMode\",1\n\"Printertyp\",\" 4\"\n\"WBAdditionalData\",\" 3\"\n"
                "\"4-Digit FachNum\",1\n");
    menu("mnuLoad")->trigger();
    EXPECT_EQ(field<QLineEdit>("txtServer")->text(), QStringLiteral("/plant/In"));
    EXPECT_EQ(field<QLineEdit>("txtRefresh")->text(), QStringLiteral("2000"));
    EXPECT_EQ(field<QCheckBox>("chkAutoFreigabe")->checkState(), Qt::Unchecked);
    EXPECT_EQ(field<QCheckBox>("chkSteeldata")->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(field<QCheckBox>("chkLoadMode")->checkState(), Qt::Checked);
    EXPECT_EQ(field<QCheckBox>("chkFachNr4Digit")->checkState(), Qt::Checked);
    EXPECT_EQ(field<QComboBox>("cmbPrintertyp")->currentText(), QStringLiteral("Zebra"));
    EXPECT_EQ(field<QComboBox>("cmbWBAddData")->currentIndex(), 3);
    EXPECT_EQ(field<QComboBox>("cmbSADefault")->currentText(), QStringLiteral("No steel"));

    // The operator edits in edit mode and saves.
    menu("mnuEditModus")->trigger();
    QLineEdit* refresh = field<QLineEdit>("txtRefresh");
    refresh->selectAll();
    QTest::keyClicks(refresh, QStringLiteral("500"));
    QTest::keyClicks(field<QLineEdit>("txtExtensionStahl"), QStringLiteral("$sx"));
    field<QCheckBox>("chkWinkelConv")->click();
    QTest::keyClick(field<QComboBox>("cmbPrintertyp"), Qt::Key_Down);
    field<QPushButton>("cmdSave")->click();

    const QByteArray saved = readFileBytes(ctx.ConfigFilePath);
    for (const char* line : {"\"RefreshZyklus\",\"1100\"\r\n", "\"ExtensionStahl\",\"$sx\"\r\n",
                             "\"Winkel-Konverter\",1\r\n", "\"Printertyp\",\" 5\"\r\n", "\"Steeldata\",2\r\n",
                             "\"AutoFreigabe\",\" 0\"\r\n"})
        EXPECT_TRUE(saved.contains(line)) << line << "\n" << saved.constData();
    EXPECT_EQ(refresh->text(), QStringLiteral("1100")); // the raised interval shows
    EXPECT_EQ(ctx.settings.scanInterval, 1100);
    EXPECT_TRUE(ctx.settings.WinkelKonverter);
}

TEST_F(WindowTest, AFailedLoadReportsAndKeepsWhatWasFilledBeforeTheFailure)
{
    window().showMinimized();
    writeConfig("\"ServerPath\",\"/plant/In\"\n\"Printertyp\",\" 7\"\n");
    menu("mnuLoad")->trigger();
    EXPECT_TRUE(ctx.errorBox.text().startsWith(QStringLiteral("ZEzad Read Configdatei : "))) << ctx.errorBox.text().toStdString();
    EXPECT_EQ(field<QLineEdit>("txtServer")->text(), QStringLiteral("/plant/In"));
    EXPECT_TRUE(window().isVisible() && !window().isMinimized());
    EXPECT_EQ(readFileBytes(ctx.ConfigFilePath).count("\r\n"), 20); // rewritten from the fields
}

TEST_F(WindowTest, EditModeIsOffAfterStartUpTogglesAndEndsWithSave)
{
    auto fieldsEnabled = [this] {
        int enabled = 0;
        for (const char* name : kFields)
            enabled += field<QWidget>(name)->isEnabled() ? 1 : 0;
        return enabled;
    };
    frontend.finishLoad();
    EXPECT_EQ(fieldsEnabled(), 0);
    EXPECT_FALSE(menu("mnuEditModus")->isChecked());
    EXPECT_TRUE(window().errorBoxWidget()->isEnabled());

    menu("mnuEditModus")->trigger();
    EXPECT_EQ(fieldsEnabled(), int(std::size(kFields)));
    EXPECT_TRUE(menu("mnuEditModus")->isChecked());
    EXPECT_EQ(field<QLineEdit>("txtServer")->focusPolicy(), Qt::StrongFocus);

    field<QPushButton>("cmdSave")->click();
    EXPECT_EQ(fieldsEnabled(), 0);
    EXPECT_FALSE(menu("mnuEditModus")->isChecked());
    EXPECT_TRUE(window().errorBoxWidget()->isReadOnly());
}

// A click on a ticked three-state box greys it; the value is in the settings
// in memory at once, before any save.
TEST_F(WindowTest, ThreeStateBoxesGreyATickedBoxAndApplyAtOnce)
{
    const std::pair<const char*, int Settings::*> boxes[] = {{"chkSteeldata", &Settings::Steeldata},
                                                            {"chkLoadMode", &Settings::JobLoadMode}};
    menu("mnuEditModus")->trigger();
    for (const auto& [name, setting] : boxes) {
        QCheckBox* box = field<QCheckBox>(name);
        std::vector<int> seen;
        for (int click = 0; click < 3; ++click) {
            box->click();
            seen.push_back(ctx.settings.*setting);
            if (click == 1) {
                EXPECT_EQ(box->checkState(), Qt::PartiallyChecked) << name;
            }
        }
        EXPECT_EQ(seen, (std::vector<int>{1, 2, 0})) << name;
    }
    EXPECT_FALSE(QFile::exists(ctx.ConfigFilePath)); // nothing was saved
}

TEST_F(WindowTest, SaveAsAcceptsAZezadNameRefusesOthersAndSavesToTheCurrentFileWhenCancelled)
{
    const QString current = ctx.ConfigFilePath;
    const QString other = dir.path() + QStringLiteral("/Server/Line2.ZEZAD");
    const QString wrong = dir.path() + QStringLiteral("/Server/line2.txt");
    struct Case {
        QString chosen;
        QString expectedFile;
        bool refused;
    };
    const Case cases[] = {{wrong, current, true}, {QString(), current, false}, {other, other, false}};
    for (const Case& c : cases) {
        QString proposed;
        window().setSaveDialog([&](QWidget*, const QString& p) {
            proposed = p;
            return c.chosen;
        });
        scripted.asked.clear();
        QFile::remove(current);
        menu("mnuSaveAs")->trigger();
        EXPECT_EQ(proposed, current);
        EXPECT_EQ(ctx.ConfigFilePath, c.expectedFile) << c.chosen.toStdString();
        EXPECT_EQ(QFile::exists(c.expectedFile), !c.refused) << c.chosen.toStdString();
        ASSERT_EQ(scripted.asked.size(), c.refused ? 1u : 0u);
        if (c.refused) {
            EXPECT_EQ(scripted.asked[0].text, QStringLiteral("Wrong Filename :") + wrong);
        }
    }
}

TEST_F(WindowTest, ErrorBoxIsReadOnlySelectableReplacedAndScrollsOnlyWhenNeeded)
{
    QPlainTextEdit* box = window().errorBoxWidget();
    window().show();
    window().resize(700, 600);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));

    ctx.errorBox.setText(QStringLiteral("first\r\nmessage"));
    ctx.errorBox.setText(QStringLiteral("05.12.2026 10:30:00: Start Server"));
    EXPECT_EQ(box->toPlainText(), QStringLiteral("05.12.2026 10:30:00: Start Server"));
    QApplication::processEvents();
    EXPECT_FALSE(box->verticalScrollBar()->isVisible());
    EXPECT_FALSE(box->horizontalScrollBar()->isVisible());

    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("typed"));
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->toPlainText(), QStringLiteral("05.12.2026 10:30:00: Start Server"));
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(box->textCursor().hasSelection());

    QStringList lines;
    for (int i = 0; i < 40; ++i)
        lines << QStringLiteral("Line %1 ").arg(i) + QString(100, u'x');
    ctx.errorBox.setText(lines.join(QStringLiteral("\r\n")));
    QApplication::processEvents();
    EXPECT_TRUE(box->verticalScrollBar()->isVisible());
    EXPECT_TRUE(box->horizontalScrollBar()->isVisible());
    EXPECT_EQ(box->toPlainText().count(u'\n'), 39);
}

TEST_F(WindowTest, CloseRequestsAreIgnoredAndFileExitEndsTheServer)
{
    window().show();
    EXPECT_FALSE(window().windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(window().close());
    QTest::keyClick(&window(), Qt::Key_F4, Qt::AltModifier);
    EXPECT_TRUE(window().isVisible());

    QSignalSpy exit(&window(), &frmPROD::exitRequested);
    menu("mnu_exit")->trigger();
    EXPECT_EQ(exit.count(), 1);
    EXPECT_FALSE(window().isVisible());
}

// The next scan cycle hides a minimised window, unless there is no
// notification area to bring it back from.
class NoNotificationArea : public WindowTest {
protected:
    NoNotificationArea() : WindowTest(false) {}
};

void runOneCycle(ServerContext& ctx)
{
    JobState job;
    StepImporter importer;
    ScanCycle cycle(ctx, job, importer);
    cycle.runOnce();
}

TEST_F(WindowTest, AMinimisedWindowIsHiddenByTheNextCycleAndTheIconsLeftClickBringsItBack)
{
    frontend.installNotificationIcon(QStringLiteral("VOV - Produktionsdaten"));
    QSystemTrayIcon* icon = frontend.notificationIcon();
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->icon().isNull());
    EXPECT_EQ(icon->toolTip(), QStringLiteral("VOV - Produktionsdaten  PROD-Server (Übertragung der Produktion"));

    frontend.finishLoad();
    EXPECT_FALSE(window().isVisible());
    for (auto reason : {QSystemTrayIcon::Context, QSystemTrayIcon::DoubleClick, QSystemTrayIcon::MiddleClick})
        Q_EMIT icon->activated(reason);
    EXPECT_FALSE(window().isVisible());

    Q_EMIT icon->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window().isVisible());
    window().showMinimized();
    runOneCycle(ctx);
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(window().windowState() & Qt::WindowMinimized);

    Q_EMIT icon->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window().isVisible() && !window().isMinimized());
}

TEST_F(NoNotificationArea, StartsMinimisedSaysSoAndStaysReachable)
{
    frontend.installNotificationIcon(QStringLiteral("VOV - Produktionsdaten"));
    EXPECT_EQ(frontend.notificationIcon(), nullptr);
    ctx.errorBox.setText(QStringLiteral("05.12.2026 10:30:00: Start Server"));
    frontend.finishLoad();
    EXPECT_TRUE(window().isVisible() && window().isMinimized());
    EXPECT_TRUE(ctx.errorBox.text().startsWith(QStringLiteral("05.12.2026 10:30:00: Start Server\r\n")));
    EXPECT_TRUE(ctx.errorBox.text().contains(QStringLiteral("No notification area")));
    runOneCycle(ctx);
    EXPECT_TRUE(window().isVisible());
}

} // namespace
