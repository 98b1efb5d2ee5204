#include "dialogs/SetupGroupsForm.h"

#include <QHash>
#include <QKeyEvent>

#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "core/ModCommon.h"
#include "core/ModControls.h"
#include "core/ModSkin.h"
#include "core/ModWindowState.h"
#include "data/DatabaseClass.h"
#include "data/ModOperations.h"
#include "dialogs/SettingsGrid.h"
#include "localization/ResManagerClass.h"
#include "platform/AppError.h"
#include "platform/System.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/VirtualKeys.h"
#include "platform/sql/Recordset.h"

namespace {

constexpr int kRows = 15;

QString Design(const QString& control) {
    return ResManager().GetDefaultResource(QStringLiteral("SetupGroupsForm|") + control);
}

platform::CommandButton* AddButton(QWidget* parent, const char* name, int x, int y) {
    auto* button = new platform::CommandButton(parent);
    button->setObjectName(QLatin1String(name));
    button->SetCaption(Design(QLatin1String(name)));
    button->setGeometry(x, y, 130, 34);
    return button;
}

}  // namespace

SetupGroupsForm::SetupGroupsForm(const ConfigurationRecord& settings, QWidget* parent)
    : KeyPreviewDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("SetupGroupsForm"));
    setWindowTitle(Design(QStringLiteral("ME")));
    setFixedSize(420, 470);

    dgView = NewSettingsGrid(this, QRect(4, 4, 412, 416), DropDownOpen);
    dgView->SetColumnWidth(kItem, 1800);
    dgView->SetColumnEditStyle(kValue, platform::ColumnStyle::DropDown);

    btnSave = AddButton(this, "btnSave", 4, 428);
    btnDefault = AddButton(this, "btnDefault", 145, 428);
    btnCancel = AddButton(this, "btnCancel", 286, 428);

    connect(dgView, &platform::DataGrid::RowColChange, this, [this] { dgView_RowColChange(); });
    connect(dgView, &platform::DataGrid::KeyDown, this,
            [this](int*, int) { SelectActiveCellText(dgView); });
    connect(dgView, &platform::DataGrid::Change, this, [this] { MapChoiceToCode(); });
    connect(dgView, &platform::DataGrid::DblClick, this, [this] { dgView_DblClick(); });
    connect(btnSave, &platform::CommandButton::Click, this, [this] { btnSave_Click(); });
    connect(btnDefault, &platform::CommandButton::Click, this, [this] { btnDefault_Click(); });
    connect(btnCancel, &platform::CommandButton::Click, this, [this] { btnCancel_Click(); });

    Form_Load();
}

QString SetupGroupsForm::result() const {
    return result_;
}

void SetupGroupsForm::AddGroupRow(int16_t position, const QString& name, const QString& code) {
    const QString tab = QStringLiteral("\t");
    dgView->AddItem(Res("strPosition") + QLatin1Char(' ') + QString::number(position) + tab + name +
                    tab + code + tab + QStringLiteral("0") + tab);
}

QString SetupGroupsForm::BuildSelection(const QStringList& codes) {
    QString accumulator;
    for (const QString& code : codes) {
        const QString entry = code + QLatin1Char('|');
        // Whole entries are compared: "01|" must not match inside "101|".
        const QString bounded = QLatin1Char('|') + accumulator;
        if (!code.isEmpty() && !bounded.contains(QLatin1Char('|') + entry))
            accumulator += entry;
    }
    if (accumulator.endsWith(QLatin1Char('|')))
        accumulator.chop(1);
    return accumulator;
}

void SetupGroupsForm::Form_Load() {
    try {
        ResManager().SetLanguage(this);
        ApplySkinToForm(this);
        LoadRows();
    } catch (const AppError& e) {
        ErrorLogger().Add(kSystemError, e.Number(), e.Description(),
                          QStringLiteral("SetupGroupsForm.Load"));
    } catch (const std::exception& e) {
        ErrorLogger().Add(kSystemError, 0, QString::fromUtf8(e.what()),
                          QStringLiteral("SetupGroupsForm.Load"));
    }
}

void SetupGroupsForm::LoadRows() {
    dgView->ClearColumnList(kValue);
    dgView->AddColumnListItem(kValue, QString(), 0);
    if (Database().IsConnected()) {
        LoadGoodsGroups();
        platform::Recordset& rs = *GoodsGroupsRecordset();
        const QString codeField = QStringLiteral("Code");
        const QString nameField = QStringLiteral("Name");
        const QString idField = QStringLiteral("ID");
        // A row shows its group's own entry even when another group has the
        // same name.
        QHash<int32_t, int> positionOfId;
        for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
            if (rs.Fields(codeField).ToString().size() == 3) {
                const int32_t id = rs.Fields(idField).ToLong();
                positionOfId.insert(id, dgView->ColumnListCount(kValue));
                dgView->AddColumnListItem(kValue, rs.Fields(nameField).ToString(), id);
            }
        }
        const QString stored = settings_.GoodsGroups;
        const QStringList parts = stored.isEmpty() ? QStringList() : stored.split(QLatin1Char('|'));
        for (int k = 1; k <= kRows; ++k) {
            QString name;
            QString code;
            int position = -1;
            if (k <= parts.size()) {
                const QString part = parts[k - 1];
                if (part == QLatin1String("000")) {
                    name = Res("strAll");
                    code = part;
                } else {
                    // The filter compares without case; a group whose code
                    // is the stored one exactly wins over the first match,
                    // so "abc" does not turn into "ABC".
                    rs.SetFilter(QStringLiteral("Code = '") + part + QStringLiteral("' "));
                    for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
                        const QString found = rs.Fields(codeField).ToString();
                        if (code.isEmpty() || found == part) {
                            name = rs.Fields(nameField).ToString();
                            code = found;
                            position = positionOfId.value(rs.Fields(idField).ToLong(), -1);
                        }
                        if (found == part)
                            break;
                    }
                    rs.SetFilter(QString());
                }
            }
            AddGroupRow(int16_t(k), name, code);
            dgView->SetCellListPosition(k - 1, kValue, position);
        }
    }
    dgView->SetColumnWidth(kValue, dgView->width() * platform::TwipsPerPixelX() -
                                       dgView->ColumnWidth(kItem) - GetColumnWidthExtra(true));
    dgView->SetColumnLocked(kValue, true);
    if (dgView->Rows() > 0)
        dgView->SetRow(0);
}

void SetupGroupsForm::Form_Activate() {
    KeyPreviewDialog::Form_Activate();
    dgView->setFocus();
}

void SetupGroupsForm::MapChoiceToCode() {
    rt::ContainErrors("SetupGroupsForm.MapChoiceToCode", [this] {
        if (dgView->Col() != kValue)
            return;
        const int row = dgView->Row();
        const int p = dgView->ActiveListPosition();
        if (p < 0)
            return;
        if (p == 0) {
            dgView->SetCellText(row, kIndex, QString());
            return;
        }
        const auto& rs = GoodsGroupsRecordset();
        if (!rs)
            return;
        rs->SetFilter(QStringLiteral(" ID = ") +
                      QString::number(dgView->ColumnListItemData(kValue, p).toLongLong()));
        if (rs->RecordCount() > 0) {
            rs->MoveFirst();
            dgView->SetCellText(row, kIndex, rs->Fields(QStringLiteral("Code")).ToString());
        }
        rs->SetFilter(QString());
    });
}

void SetupGroupsForm::dgView_RowColChange() {
    if (dgView->Row() < 0)
        return;
    if (dgView->Col() != kValue)
        dgView->SetCol(kValue);
    SelectActiveCellText(dgView);
}

void SetupGroupsForm::dgView_DblClick() {
    if (StepValueList(dgView))
        MapChoiceToCode();
}

void SetupGroupsForm::btnSave_Click() {
    SetHourglass(true);
    QStringList codes;
    try {
        for (int row = 0; row < dgView->Rows(); ++row)
            codes << dgView->CellText(row, kIndex);
    } catch (const AppError&) {
    }
    result_ = BuildSelection(codes);
    SetHourglass(false);
    accept();
}

void SetupGroupsForm::btnDefault_Click() {
    SetHourglass(true);
    result_.clear();
    SetHourglass(false);
    accept();
}

void SetupGroupsForm::btnCancel_Click() {
    SetHourglass(true);
    SetHourglass(false);
    reject();
}

void SetupGroupsForm::reject() {
    // Every way out that is not Save or Default (Cancel, Escape, the window's
    // close box) answers the stored setting, so that the opener, which takes
    // the answer whatever it is, keeps the stored goods groups.
    result_ = settings_.GoodsGroups;
    KeyPreviewDialog::reject();
}

bool SetupGroupsForm::PreviewKey(QWidget*, QKeyEvent* key) {
    const int keyCode = platform::VirtualKeyFromEvent(key);
    if (SaveOrCancelKey(
            keyCode, DropDownOpen, [this] { btnSave_Click(); }, [this] { btnCancel_Click(); }))
        return true;
    if (keyCode != platform::kVkF5)
        return false;
    btnDefault_Click();
    return true;
}
