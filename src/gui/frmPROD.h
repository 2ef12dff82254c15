#pragma once

#include <QMainWindow>
#include <QString>

#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
struct ServerContext;

// The operator's window: the settings editor (four tab pages of fields bound
// to the settings fields of the server) and the error box. It cannot be
// closed from its frame; File -> Exit ends the server.
class frmPROD final : public QMainWindow {
    Q_OBJECT
public:
    explicit frmPROD(QWidget* parent = nullptr);

    // The server's state the fields edit. Called once, before the window is
    // used; the fields then show the settings fields.
    void bindTo(ServerContext& ctx);
    // Settings fields -> widgets (texts, check states, list entries and the
    // edit mode). Called after every load and save.
    void showFields();

    // The error box's text, as the operator reads it.
    void setErrorText(const QString& text);
    // A condition that lasts (no notification area), shown below the error
    // box where the next report does not replace it; empty: none.
    void setLastingNote(const QString& text);
    [[nodiscard]] QString lastingNote() const;

    // The save-file dialog of "Save As": returns the chosen name, or an empty
    // string when the operator cancelled. Tests put a script here.
    using SaveDialog = std::function<QString(QWidget* parent, const QString& proposed)>;
    void setSaveDialog(SaveDialog dialog) { m_saveDialog = std::move(dialog); }

    // The window commands.
    void save();
    void saveAs();
    void load();
    void toggleEditMode();
    void exit();

    QPlainTextEdit* errorBoxWidget() const { return txtError; }
    QTabWidget* tabs() const { return TabStrip1; }

Q_SIGNALS:
    // File -> Exit: the server ends.
    void exitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildPages();
    void buildMenu();
    void bindWidgets();
    void applyEditMode(bool onOff);

    ServerContext* m_ctx = nullptr;
    SaveDialog m_saveDialog;
    bool m_unloading = false;

    QTabWidget* TabStrip1 = nullptr;
    QPlainTextEdit* txtError = nullptr;
    QLabel* VersionNum = nullptr;
    QLabel* m_lastingNote = nullptr;
    QPushButton* cmdSave = nullptr;

    QLineEdit* txtServer = nullptr;
    QLineEdit* txtRefresh = nullptr;
    QLineEdit* txtAnlage = nullptr;
    QLineEdit* txtBackup = nullptr;
    QLineEdit* txtExtension = nullptr;
    QLineEdit* txtExtensionEtikett = nullptr;
    QLineEdit* txtExtensionStahl = nullptr;

    QCheckBox* chkAutoFreigabe = nullptr;
    QCheckBox* chkLoadMode = nullptr;
    QCheckBox* chkWinkelConv = nullptr;
    QCheckBox* chkDEandKTN = nullptr;
    QCheckBox* chkSteeldata = nullptr;
    QCheckBox* chkSetPVCPieceNum = nullptr;
    QCheckBox* chkWriteLoadID = nullptr;
    QCheckBox* chkWinkelIDConv = nullptr;
    QCheckBox* chkFachNr4Digit = nullptr;
    QCheckBox* chkProfilNr3Digit = nullptr;

    QComboBox* cmbPrintertyp = nullptr;
    QComboBox* cmbWBAddData = nullptr;
    QComboBox* cmbSADefault = nullptr;

    QAction* mnuSave = nullptr;
    QAction* mnuSaveAs = nullptr;
    QAction* mnuLoad = nullptr;
    QAction* mnuEditModus = nullptr;
    QAction* mnu_exit = nullptr;
};
