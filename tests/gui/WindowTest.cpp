// The operator window: fields bound to the configuration file, edit mode,
// the error box.
#include "WindowFixture.h"

#include "ExecutablePlant.h"
#include "shell/StartUp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

namespace {

// The fields are locked after start-up; edit mode opens them and Save locks
// them again. A failed load reports, shows the window and keeps what it filled.
TEST_F(WindowTest, LoadFillsTheFieldsSaveInEditModeWritesWhatTheOperatorChangedAndTheErrorBoxOnlyShows)
{
    const auto enabledFields = [this] {
        int n = 0;
        for (QWidget* w : window().tabs()->findChildren<QWidget*>())
            n += (qobject_cast<QLineEdit*>(w) || qobject_cast<QCheckBox*>(w) || qobject_cast<QComboBox*>(w)) &&
                 w->isEnabled();
        return n;
    };
    PlantTree::writeFile(ctx.ConfigFilePath,
                         "\"ServerPath\",\"/plant/In\"\n\"RefreshZyklus\",\"2000\"\n\"AutoFreigabe\",\" 0\"\n"
                         "\"Steeldata\",2\n\"JobLoadMode\",1\n\"Printertyp\",\" 4\"\n\"WBAdditionalData\",\" 3\"\n"
                         "\"3-Digit ProfNum\",1\n\"CompareDEandKTN\",1\n\"GenLoadID\",1\n\"ConvToPvcNum\",1\n"
                         "\"Winkel-ID-Konverter\",1\n");
    menu("mnuLoad")->trigger();
    EXPECT_EQ(field<QLineEdit>("txtServer")->text(), QStringLiteral("/plant/In"));
    EXPECT_EQ(field<QLineEdit>("txtRefresh")->text(), QStringLiteral("2000"));
    EXPECT_EQ(field<QCheckBox>("chkAutoFreigabe")->checkState(), Qt::Unchecked);
    EXPECT_EQ(field<QCheckBox>("chkSteeldata")->checkState(), Qt::PartiallyChecked);
    for (const char* box :
         {"chkLoadMode", "chkProfilNr3Digit", "chkDEandKTN", "chkWriteLoadID", "chkSetPVCPieceNum", "chkWinkelIDConv"})
        EXPECT_EQ(field<QCheckBox>(box)->checkState(), Qt::Checked) << box;
    EXPECT_EQ(field<QComboBox>("cmbPrintertyp")->currentText(), QStringLiteral("Zebra"));
    EXPECT_EQ(field<QComboBox>("cmbWBAddData")->currentIndex(), 3);
    EXPECT_EQ(field<QComboBox>("cmbSADefault")->currentText(), QStringLiteral("No steel"));
    frontend.finishLoad();
    EXPECT_EQ(enabledFields(), 0);

    menu("mnuEditModus")->trigger();
    EXPECT_EQ(enabledFields(), 20);
    EXPECT_TRUE(menu("mnuEditModus")->isChecked());
    // A three-state box goes ticked, greyed, cleared (from greyed here), and its value applies at once.
    QCheckBox* steel = field<QCheckBox>("chkSteeldata");
    std::vector<int> seen; // value in memory, box state
    for (int click = 0; click < 3; ++click) {
        steel->click();
        seen.push_back(int(ctx.settings.Steeldata) * 10 + steel->checkState());
    }
    EXPECT_EQ(seen, (std::vector<int>{Qt::Unchecked, 10 + Qt::Checked, 20 + Qt::PartiallyChecked}));
    QLineEdit* refresh = field<QLineEdit>("txtRefresh");
    refresh->selectAll();
    QTest::keyClicks(refresh, QStringLiteral("500"));
    QTest::keyClicks(field<QLineEdit>("txtExtensionStahl"), QStringLiteral("$sx"));
    field<QCheckBox>("chkWinkelConv")->click();
    QTest::keyClick(field<QComboBox>("cmbPrintertyp"), Qt::Key_Down);
    field<QPushButton>("cmdSave")->click();

    const QByteArray saved = readFileBytes(ctx.ConfigFilePath);
    for (const char* line : {"\"RefreshZyklus\",\"1100\"\r\n", "\"ExtensionStahl\",\"$sx\"\r\n",
                             "\"Winkel-Konverter\",1\r\n", "\"Printertyp\",\" 5\"\r\n", "\"Steeldata\",2\r\n"})
        EXPECT_TRUE(saved.contains(line)) << line << "\n" << saved.constData();
    EXPECT_EQ(refresh->text(), QStringLiteral("1100")); // the raised interval shows
    EXPECT_TRUE(ctx.settings.WinkelKonverter);
    EXPECT_EQ(enabledFields(), 0);
    EXPECT_FALSE(menu("mnuEditModus")->isChecked());
    EXPECT_TRUE(window().errorBoxWidget()->isEnabled() && window().errorBoxWidget()->isReadOnly());
    const QLabel* version = field<QLabel>("VersionNum");
    ASSERT_NE(version, nullptr) << "the version is shown in the window";
    EXPECT_EQ(version->text(), versionText());

    window().showMinimized();
    PlantTree::writeFile(ctx.ConfigFilePath, "\"ServerPath\",\"/plant/In2\"\n\"Printertyp\",\" 7\"\n");
    menu("mnuLoad")->trigger();
    EXPECT_TRUE(shown.text().startsWith(QStringLiteral("ZEzad Read Configdatei : ")));
    EXPECT_EQ(field<QLineEdit>("txtServer")->text(), QStringLiteral("/plant/In2"));
    EXPECT_TRUE(window().isVisible() && !window().isMinimized());
    EXPECT_EQ(readFileBytes(ctx.ConfigFilePath).count("\r\n"), 20); // rewritten from the fields

    // The error box is read-only but selectable, its text replaced, and it scrolls only when needed.
    QPlainTextEdit* box = window().errorBoxWidget();
    window().resize(700, 600);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
    writeTotxtError(ctx, QStringLiteral("first\r\nmessage"));
    writeTotxtError(ctx, QStringLiteral("05.12.2026 10:30:00: Start Server"));
    QApplication::processEvents();
    EXPECT_FALSE(box->verticalScrollBar()->isVisible() || box->horizontalScrollBar()->isVisible());

    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("typed"));
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->toPlainText(), QStringLiteral("05.12.2026 10:30:00: Start Server"));
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(box->textCursor().hasSelection());

    writeTotxtError(ctx, QStringList(40, QString(100, u'x')).join(QStringLiteral("\r\n")));
    QApplication::processEvents();
    EXPECT_TRUE(box->verticalScrollBar()->isVisible() && box->horizontalScrollBar()->isVisible());
    EXPECT_EQ(box->toPlainText().count(u'\n'), 39);
}

} // namespace
