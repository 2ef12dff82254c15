#include "gui/frmPROD.h"

#include "config/Configuration.h"
#include "config/ServerContext.h"
#include "shell/StartUp.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// Check box values as the settings fields keep them: 0 cleared, 1 ticked,
// 2 greyed.
Qt::CheckState checkStateOf(int value)
{
    switch (value) {
    case 1:
        return Qt::Checked;
    case 2:
        return Qt::PartiallyChecked;
    default:
        return Qt::Unchecked;
    }
}

int valueOf(Qt::CheckState state)
{
    switch (state) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    default:
        return 0;
    }
}

// A check box that can hold the greyed value the configuration file may
// give it. A click ticks a cleared or greyed box and clears a ticked one,
// except for the two three-state boxes: there a click turns a ticked box
// greyed, and a greyed box cleared, so that each of the three values can be
// chosen by clicking.
class SettingCheckBox final : public QCheckBox {
public:
    SettingCheckBox(const QString& name, bool threeState) : m_threeState(threeState)
    {
        setObjectName(name);
        setTristate(threeState);
    }

protected:
    void nextCheckState() override
    {
        switch (checkState()) {
        case Qt::Checked:
            setCheckState(m_threeState ? Qt::PartiallyChecked : Qt::Unchecked);
            break;
        case Qt::PartiallyChecked:
            setCheckState(m_threeState ? Qt::Unchecked : Qt::Checked);
            break;
        default:
            setCheckState(Qt::Checked);
            break;
        }
    }

private:
    bool m_threeState;
};

QLineEdit* lineEdit(const char* name)
{
    auto* e = new QLineEdit;
    e->setObjectName(QLatin1String(name));
    return e;
}

QComboBox* list(const char* name, const QStringList& entries)
{
    auto* c = new QComboBox;
    c->setObjectName(QLatin1String(name));
    c->addItems(entries);
    c->setCurrentIndex(-1);
    return c;
}

QString displayText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

using TextField = QString SettingsForm::*;
using NumberField = int SettingsForm::*;

} // namespace

frmPROD::frmPROD(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmPROD"));
    setWindowTitle(QStringLiteral("Prod-Daten-Server (VOV: $TX)"));
    // No close box: the server must not end because its window was closed
    // by accident. File -> Exit (or the server manager) ends it.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);
    setWindowIcon(QIcon(QStringLiteral(":/gui/serverquirnel.svg")));

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    TabStrip1 = new QTabWidget;
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    column->addWidget(TabStrip1);

    // The error box: read, scrolled and selected, never edited. Long lines
    // are not wrapped; scroll bars appear only when the text needs them.
    txtError = new QPlainTextEdit;
    txtError->setObjectName(QStringLiteral("txtError"));
    txtError->setReadOnly(true);
    txtError->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtError->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtError->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    txtError->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    txtError->setMinimumHeight(110);
    column->addWidget(txtError);
    setCentralWidget(central);

    buildPages();
    buildMenu();
    applyEditMode(false);
    resize(560, 420);
}

void frmPROD::buildPages()
{
    auto page = [this](int index, const QString& caption) {
        auto* p = new QWidget;
        p->setObjectName(QStringLiteral("Container%1").arg(index));
        TabStrip1->addTab(p, caption);
        auto* form = new QFormLayout(p);
        form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        return form;
    };

    QFormLayout* connections = page(1, QStringLiteral("Connections"));
    connections->addRow(QStringLiteral("Server-Pfad:"), txtServer = lineEdit("txtServer"));
    connections->addRow(QStringLiteral("RefreshRate (ms):"), txtRefresh = lineEdit("txtRefresh"));
    connections->addRow(QStringLiteral("Anlagen-Pfad:"), txtAnlage = lineEdit("txtAnlage"));
    connections->addRow(QStringLiteral("Backup-Pfad:"), txtBackup = lineEdit("txtBackup"));
    VersionNum = new QLabel(versionText());
    VersionNum->setObjectName(QStringLiteral("VersionNum"));
    cmdSave = new QPushButton(QStringLiteral("Save"));
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(VersionNum);
    bottom->addStretch();
    bottom->addWidget(cmdSave);
    connections->addRow(bottom);

    QFormLayout* extensions = page(2, QStringLiteral("Fileextensions"));
    extensions->addRow(QStringLiteral("autom. Freibgabe:"),
                       chkAutoFreigabe = new SettingCheckBox(QStringLiteral("chkAutoFreigabe"), false));
    extensions->addRow(QStringLiteral("Extension ($tx):"), txtExtension = lineEdit("txtExtension"));
    extensions->addRow(QStringLiteral("Extension Etikett ($et):"),
                       txtExtensionEtikett = lineEdit("txtExtensionEtikett"));
    extensions->addRow(QStringLiteral("Extension Stahl ($sx):"), txtExtensionStahl = lineEdit("txtExtensionStahl"));
    extensions->addRow(QStringLiteral("Lade nur Gesamtauftrag :"),
                       chkLoadMode = new SettingCheckBox(QStringLiteral("chkLoadMode"), true));

    QFormLayout* options = page(3, QStringLiteral("Options"));
    options->addRow(QStringLiteral("Winkel-Konvertierung :"),
                    chkWinkelConv = new SettingCheckBox(QStringLiteral("chkWinkelConv"), false));
    options->addRow(QStringLiteral("Vergleiche DE-Nr. und KTNr.:"),
                    chkDEandKTN = new SettingCheckBox(QStringLiteral("chkDEandKTN"), false));
    options->addRow(QStringLiteral("2-fach-Stahldaten:"),
                    chkSteeldata = new SettingCheckBox(QStringLiteral("chkSteeldata"), true));
    options->addRow(QStringLiteral("Konv. DE/SA zu PVC-KTN :"),
                    chkSetPVCPieceNum = new SettingCheckBox(QStringLiteral("chkSetPVCPieceNum"), false));
    options->addRow(QStringLiteral("Generiere LoadID :"),
                    chkWriteLoadID = new SettingCheckBox(QStringLiteral("chkWriteLoadID"), false));
    options->addRow(QStringLiteral("Winkel-ID Konvertierung :"),
                    chkWinkelIDConv = new SettingCheckBox(QStringLiteral("chkWinkelIDConv"), false));
    options->addRow(QStringLiteral("Druckertyp :"),
                    cmbPrintertyp = list("cmbPrintertyp", SettingsForm::printerTypes()));
    options->addRow(QStringLiteral("WB-Daten :"),
                    cmbWBAddData = list("cmbWBAddData", SettingsForm::wbAddDataEntries()));
    options->addRow(QStringLiteral("SA-Default :"),
                    cmbSADefault = list("cmbSADefault", SettingsForm::saDefaultEntries()));

    QFormLayout* lengths = page(4, QStringLiteral("Fieldlengths"));
    lengths->addRow(QStringLiteral("4-stellige Fachnummer :"),
                    chkFachNr4Digit = new SettingCheckBox(QStringLiteral("chkFachNr4Digit"), false));
    lengths->addRow(QStringLiteral("3-stellige Profilnummer :"),
                    chkProfilNr3Digit = new SettingCheckBox(QStringLiteral("chkProfilNr3Digit"), false));

    connect(cmdSave, &QPushButton::clicked, this, &frmPROD::save);
}

void frmPROD::buildMenu()
{
    QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    auto item = [mnuFile](const char* name, const QString& caption) {
        QAction* a = mnuFile->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    mnuSave = item("mnuSave", QStringLiteral("&Save"));
    mnuSaveAs = item("mnuSaveAs", QStringLiteral("Save &As"));
    mnuLoad = item("mnuLoad", QStringLiteral("&Load"));
    mnuEditModus = item("mnuEditModus", QStringLiteral("E&dit On/Off"));
    mnuEditModus->setCheckable(true);
    mnu_exit = item("mnu_exit", QStringLiteral("E&xit"));

    connect(mnuSave, &QAction::triggered, this, &frmPROD::save);
    connect(mnuSaveAs, &QAction::triggered, this, &frmPROD::saveAs);
    connect(mnuLoad, &QAction::triggered, this, &frmPROD::load);
    connect(mnuEditModus, &QAction::triggered, this, &frmPROD::toggleEditMode);
    connect(mnu_exit, &QAction::triggered, this, &frmPROD::exit);
}

void frmPROD::bindTo(ServerContext& ctx)
{
    m_ctx = &ctx;
    bindWidgets();
    showFields();
}

// Every edit goes into the settings fields at once, as it always went into
// the window's own fields: the lists are read from there by the importers,
// the other values are applied by the next save.
void frmPROD::bindWidgets()
{
    SettingsForm& f = m_ctx->form;
    const std::pair<QLineEdit*, TextField> texts[] = {
        {txtServer, &SettingsForm::txtServer},
        {txtRefresh, &SettingsForm::txtRefresh},
        {txtAnlage, &SettingsForm::txtAnlage},
        {txtBackup, &SettingsForm::txtBackup},
        {txtExtension, &SettingsForm::txtExtension},
        {txtExtensionEtikett, &SettingsForm::txtExtensionEtikett},
        {txtExtensionStahl, &SettingsForm::txtExtensionStahl},
    };
    for (const auto& [edit, field] : texts)
        connect(edit, &QLineEdit::textEdited, this, [&f, field](const QString& t) { f.*field = t; });

    const std::pair<QCheckBox*, NumberField> boxes[] = {
        {chkAutoFreigabe, &SettingsForm::chkAutoFreigabe}, {chkProfilNr3Digit, &SettingsForm::chkProfilNr3Digit},
        {chkDEandKTN, &SettingsForm::chkDEandKTN},         {chkSetPVCPieceNum, &SettingsForm::chkSetPVCPieceNum},
        {chkWriteLoadID, &SettingsForm::chkWriteLoadID},   {chkWinkelIDConv, &SettingsForm::chkWinkelIDConv},
        {chkWinkelConv, &SettingsForm::chkWinkelConv},     {chkFachNr4Digit, &SettingsForm::chkFachNr4Digit},
        {chkSteeldata, &SettingsForm::chkSteeldata},       {chkLoadMode, &SettingsForm::chkLoadMode},
    };
    for (const auto& [box, field] : boxes)
        connect(box, &QCheckBox::clicked, this, [&f, box, field]() { f.*field = valueOf(box->checkState()); });

    // The two three-state boxes go into the settings in memory at once, so
    // the next import (double steel data) or the next scan cycle (job mode)
    // already works with the new value.
    for (QCheckBox* box : {chkSteeldata, chkLoadMode})
        connect(box, &QCheckBox::clicked, this, [this]() { applyThreeStateBoxes(*m_ctx); });

    const std::pair<QComboBox*, NumberField> lists[] = {
        {cmbPrintertyp, &SettingsForm::cmbPrintertyp},
        {cmbWBAddData, &SettingsForm::cmbWBAddData},
        {cmbSADefault, &SettingsForm::cmbSADefault},
    };
    for (const auto& [combo, field] : lists)
        connect(combo, &QComboBox::activated, this, [&f, field](int index) { f.*field = index; });
}

void frmPROD::showFields()
{
    if (!m_ctx)
        return;
    const SettingsForm& f = m_ctx->form;
    txtServer->setText(f.txtServer);
    txtRefresh->setText(f.txtRefresh);
    txtAnlage->setText(f.txtAnlage);
    txtBackup->setText(f.txtBackup);
    txtExtension->setText(f.txtExtension);
    txtExtensionEtikett->setText(f.txtExtensionEtikett);
    txtExtensionStahl->setText(f.txtExtensionStahl);

    chkAutoFreigabe->setCheckState(checkStateOf(f.chkAutoFreigabe));
    chkProfilNr3Digit->setCheckState(checkStateOf(f.chkProfilNr3Digit));
    chkSteeldata->setCheckState(checkStateOf(f.chkSteeldata));
    chkLoadMode->setCheckState(checkStateOf(f.chkLoadMode));
    chkDEandKTN->setCheckState(checkStateOf(f.chkDEandKTN));
    chkSetPVCPieceNum->setCheckState(checkStateOf(f.chkSetPVCPieceNum));
    chkWriteLoadID->setCheckState(checkStateOf(f.chkWriteLoadID));
    chkWinkelIDConv->setCheckState(checkStateOf(f.chkWinkelIDConv));
    chkWinkelConv->setCheckState(checkStateOf(f.chkWinkelConv));
    chkFachNr4Digit->setCheckState(checkStateOf(f.chkFachNr4Digit));

    cmbPrintertyp->setCurrentIndex(f.cmbPrintertyp);
    cmbWBAddData->setCurrentIndex(f.cmbWBAddData);
    cmbSADefault->setCurrentIndex(f.cmbSADefault);

    applyEditMode(f.editMode);
}

void frmPROD::setErrorText(const QString& text)
{
    txtError->setPlainText(displayText(text));
}

void frmPROD::setLastingNote(const QString& text)
{
    if (!m_lastingNote) {
        if (text.isEmpty())
            return;
        m_lastingNote = new QLabel;
        m_lastingNote->setObjectName(QStringLiteral("lblLastingNote"));
        statusBar()->addWidget(m_lastingNote, 1);
    }
    m_lastingNote->setText(text);
    statusBar()->setVisible(!text.isEmpty());
}

QString frmPROD::lastingNote() const
{
    return m_lastingNote ? m_lastingNote->text() : QString();
}

// Edit mode protects the settings against a stray click: off after start-up
// and after every load or save.
void frmPROD::applyEditMode(bool onOff)
{
    const Qt::FocusPolicy tabStop = onOff ? Qt::StrongFocus : Qt::NoFocus;
    for (QWidget* w : TabStrip1->findChildren<QWidget*>()) {
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QCheckBox*>(w) || qobject_cast<QComboBox*>(w)) {
            w->setEnabled(onOff);
            w->setFocusPolicy(tabStop);
        } else if (qobject_cast<QPushButton*>(w)) {
            w->setFocusPolicy(tabStop);
        }
    }
    txtError->setFocusPolicy(tabStop);
    txtError->setEnabled(true);
    txtError->setReadOnly(true);
    mnuEditModus->setChecked(onOff);
}

void frmPROD::save()
{
    if (!m_ctx)
        return;
    SaveConfiguration(*m_ctx);
    editControls(*m_ctx, false);
    showFields();
}

void frmPROD::saveAs()
{
    if (!m_ctx)
        return;
    // A cancelled dialog leaves the proposed name, so the settings go to
    // the configuration file in use.
    const QString proposed = m_ctx->ConfigFilePath;
    QString chosen = m_saveDialog
                         ? m_saveDialog(this, proposed)
                         : QFileDialog::getSaveFileName(this, QString(), proposed,
                                                        QStringLiteral("Configuration (*.zezad);;All files (*)"));
    if (chosen.isEmpty())
        chosen = proposed;
    QString accepted;
    QString message;
    if (!CheckConfigFileName(chosen, &accepted, &message)) {
        m_ctx->prompt.showMessage(QStringLiteral("Server ") + m_ctx->ProgramTitle, message);
        return;
    }
    m_ctx->ConfigFilePath = accepted;
    save();
}

void frmPROD::load()
{
    if (!m_ctx)
        return;
    ReadConfiguration(*m_ctx);
    editControls(*m_ctx, false);
    showFields();
}

void frmPROD::toggleEditMode()
{
    // The menu item has already flipped its check mark.
    const bool onOff = mnuEditModus->isChecked();
    if (m_ctx) {
        editControls(*m_ctx, onOff);
        showFields();
    } else {
        applyEditMode(onOff);
    }
}

void frmPROD::exit()
{
    m_unloading = true;
    Q_EMIT exitRequested();
    close();
}

void frmPROD::closeEvent(QCloseEvent* event)
{
    // The window system's close request (Alt+F4 included) does not end the
    // server; only File -> Exit does.
    if (m_unloading)
        event->accept();
    else
        event->ignore();
}
