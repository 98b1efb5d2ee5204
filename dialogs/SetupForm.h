#pragma once

#include <QList>
#include <QString>
#include <cstdint>

#include "core/KeyPreviewDialog.h"
#include "platform/Variant.h"

struct Setting;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
namespace platform {
class CommandButton;
class DataGrid;
}  // namespace platform

// The settings dialog: notification mode, database connection, station port
// and password, language, country and colour scheme on the first tab, the
// station options grid on the second. It edits ConfigurationSettings and, on
// Save, writes the configuration file; the outcome reaches the opener through
// DialogAccepted and ConnectionChanged. Everything after the dialog
// (reconnecting, restoring a previewed language or skin after Cancel) is the
// opener's.
//
// Loading runs in the constructor. Selecting list entries and setting texts
// raise the controls' handlers synchronously, and the loading order relies on
// that; ConnectionChanged is cleared once loading is over. The dialog watches
// every key of its own window before the focused control sees it.
class SetupForm final : public KeyPreviewDialog {
    Q_OBJECT
public:
    explicit SetupForm(QWidget* parent = nullptr);
    ~SetupForm() override;

protected:
    // Form_KeyDown first; then port boxes drop printable non-digits.
    bool PreviewKey(QWidget* receiver, QKeyEvent* key) override;
    // Focus on a box of the first tab selects its text; a port box checks
    // its port when it loses the focus.
    bool ControlEvent(QWidget* control, QEvent* event) override;
    void Form_Activate() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Construction and layout (SetupForm.cpp).
    void BuildControls();
    void BuildConnectionRows(QWidget* page);
    void ConnectControls();
    void ChainTabOrder();
    void Form_Load();
    void Form_Resize();
    // True when the key was the dialog's.
    bool Form_KeyDown(int keyCode, int shift);
    // Tab at the options grid's last row (Shift+Tab at its first) moves the
    // focus out of the grid; true when it did.
    bool LeaveOptionsGrid(QWidget* receiver, QKeyEvent* key);

    // The first tab (SetupFormConnection.cpp).
    void ArrangeConnectionControls();
    void cbCommunicationMethod_Click();
    void cbDBType_Click();
    void cbLanguage_Click();
    void cbColorScheme_Click();
    void ConnectionText_Change(QLineEdit* box);
    void tbPort_Change(QLineEdit* box);
    void tbPort_LostFocus(QLineEdit* box);
    void ShowTab(int index);
    void btnFileOpen_Click();
    void btnTestConnection_Click();
    void btnSave_Click();
    void ReportLostLetters(const Setting& setting, const QString& letters);
    void btnCancel_Click();

    // The options grid (SetupOptionsGrid.cpp).
    void BuildOptionsGrid(QWidget* page);
    void FillOptionsGrid();
    void AddOptionRow(const QString& caption, const QString& key, const Variant& value);
    void CopyOptionsIntoRecord();
    QString CurrentOptionKey() const;
    void dgView_RowColChange();
    void dgView_Change();
    void dgView_DblClick();
    void dgView_KeyDown(int* keyCode);
    void dgView_KeyPress(int* keyAscii);
    void dgView_BtnClick();

    platform::CommandButton* btnTab(int i) const { return tabButtons_.value(i); }
    QFrame* frmTab(int i) const { return tabFrames_.value(i); }

    QList<platform::CommandButton*> tabButtons_;
    QList<QFrame*> tabFrames_;
    QLabel* lblCommunication = nullptr;
    QComboBox* cbCommunicationMethod = nullptr;
    QLabel* lblDBType = nullptr;
    QComboBox* cbDBType = nullptr;
    QLabel* lblPath = nullptr;
    QLineEdit* tbPath = nullptr;
    platform::CommandButton* btnFileOpen = nullptr;
    QLabel* lblServerName = nullptr;
    QLineEdit* tbServerName = nullptr;
    QLabel* lblLocalServerName = nullptr;
    QLineEdit* tbLocalServerName = nullptr;
    QLabel* lblName = nullptr;
    QLineEdit* tbName = nullptr;
    QLabel* lblUser = nullptr;
    QLineEdit* tbUser = nullptr;
    QLabel* lblPassword = nullptr;
    QLineEdit* tbPassword = nullptr;
    platform::CommandButton* btnTestConnection = nullptr;
    QLabel* lblIPPort = nullptr;
    QLineEdit* tbIP = nullptr;
    QLineEdit* tbPortUDP = nullptr;
    QLineEdit* tbPortTCP = nullptr;
    QLabel* lblPass1 = nullptr;
    QLineEdit* tbPass1 = nullptr;
    QLabel* lblPass2 = nullptr;
    QLineEdit* tbPass2 = nullptr;
    QLabel* lblLanguage = nullptr;
    QComboBox* cbLanguage = nullptr;
    QLabel* lblCountry = nullptr;
    QComboBox* cbCountry = nullptr;
    QLabel* lblColorScheme = nullptr;
    QComboBox* cbColorScheme = nullptr;
    platform::DataGrid* dgView = nullptr;
    platform::CommandButton* btnSave = nullptr;
    platform::CommandButton* btnCancel = nullptr;

    bool DropDownOpen = false;
    bool ActivatedOnce = false;
    QString GoodsGroupsSelection;
    // The language-dependent widening of the first tab's labels is applied
    // once, however often the dialog is resized.
    bool resizedOnce_ = false;
};

// Shows the settings dialog modally; DialogAccepted and ConnectionChanged
// tell the outcome.
void ShowSetupForm();

// The database file chosen by the operator starting from `current` (a full
// path, or empty); `current` itself when nothing was chosen.
QString BrowseDatabaseFile(const QString& current);
