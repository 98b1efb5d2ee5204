// The settings dialog's second tab: the station options grid.
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <cmath>

#include "core/Configuration.h"
#include "core/ModCommon.h"
#include "core/ModControls.h"
#include "core/ModWindowState.h"
#include "data/ModOperations.h"
#include "dialogs/SettingsGrid.h"
#include "dialogs/SetupForm.h"
#include "dialogs/SetupGroupsForm.h"
#include "dialogs/StationOptions.h"
#include "localization/ResManagerClass.h"
#include "platform/AppError.h"
#include "platform/Runtime.h"
#include "platform/controls/DataGrid.h"

namespace {

// The on/off and range rows offer a list; the others are edited in the cell.
bool IsChoiceRow(OptionKind kind) {
    return kind == OptionKind::OnOff || kind == OptionKind::CodeRange;
}

}  // namespace

void SetupForm::BuildOptionsGrid(QWidget* page) {
    dgView =
        NewSettingsGrid(page, QRect(4, 4, page->width() - 8, page->height() - 8), DropDownOpen);
    connect(dgView, &platform::DataGrid::KeyDown, this,
            [this](int* keyCode, int) { dgView_KeyDown(keyCode); });
    connect(dgView, &platform::DataGrid::KeyPress, this,
            [this](int* keyAscii) { dgView_KeyPress(keyAscii); });
    connect(dgView, &platform::DataGrid::RowColChange, this, [this] { dgView_RowColChange(); });
    connect(dgView, &platform::DataGrid::Change, this, [this] { dgView_Change(); });
    connect(dgView, &platform::DataGrid::DblClick, this, [this] { dgView_DblClick(); });
    connect(dgView, &platform::DataGrid::BtnClick, this, [this] { dgView_BtnClick(); });
}

void SetupForm::AddOptionRow(const QString& caption, const QString& key, const Variant& value) {
    int16_t index = 0;
    const QString text = value.ToString();
    if (OptionKindOf(key) == OptionKind::GoodsGroups)
        index = text.isEmpty() ? 0 : 1;
    else if (!text.isEmpty())
        index = value.ToInteger();
    const QString tab = QStringLiteral("\t");
    dgView->AddItem(caption + tab + GetOptionDisplayText(key, index) + tab + key + tab +
                    QString::number(std::abs(int(index))) + tab);
}

void SetupForm::FillOptionsGrid() {
    rt::IgnoreErrors([&] { dgView->RemoveAll(); });
    // A row whose value does not convert is left out; the others still come.
    for (const Setting* s : OptionRows(cbCommunicationMethod->currentIndex() == 2)) {
        rt::IgnoreErrors([&] {
            AddOptionRow(Res(s->option.caption), QLatin1String(s->key), OptionValue(*s, settings_));
        });
    }
    rt::IgnoreErrors([&] { dgView->SetRow(0); });
}

QString SetupForm::CurrentOptionKey() const {
    return dgView->CellText(dgView->Row(), kIndex);
}

void SetupForm::dgView_RowColChange() {
    if (dgView->Row() < 0)
        return;
    if (dgView->Col() == kItem || dgView->Col() < 0) {
        // The move raises this handler again, for the value column.
        dgView->SetCol(kValue);
        if (dgView->Col() == kValue)
            return;
    }
    const bool wasLocked = dgView->ColumnLocked(kValue);
    rt::IgnoreErrors([&] {
        const QString key = CurrentOptionKey();
        const OptionKind kind = OptionKindOf(key);
        const bool onValue = dgView->Col() == kValue;
        if (IsChoiceRow(kind)) {
            if (!onValue)
                return;
            dgView->SetColumnEditStyle(kValue, platform::ColumnStyle::DropDown);
            dgView->ClearColumnList(kValue);
            const int last = LastOptionIndex(key);
            for (int i = 0; i <= last; ++i)
                dgView->AddColumnListItem(kValue, GetOptionDisplayText(key, int16_t(i)));
            dgView->SetColumnLocked(kValue, true);
            SelectActiveCellText(dgView);
        } else if (kind == OptionKind::Digits) {
            dgView->SetColumnEditStyle(kValue, platform::ColumnStyle::Edit);
            dgView->SetColumnLocked(kValue, false);
            SelectActiveCellText(dgView);
        } else if (onValue) {
            dgView->SetColumnEditStyle(kValue, platform::ColumnStyle::EditButton);
            dgView->SetText(GetOptionDisplayText(key, GoodsGroupsSelection.isEmpty() ? 0 : 1));
            dgView->SetColumnLocked(kValue, true);
        }
        if (dgView->ColumnLocked(kValue) != wasLocked)
            dgView->SetCol(kValue);
    });
}

void SetupForm::dgView_Change() {
    if (dgView->Col() != kValue)
        return;
    const int row = dgView->Row();
    const OptionKind kind = OptionKindOf(CurrentOptionKey());
    if (kind == OptionKind::GoodsGroups)
        return;
    if (kind == OptionKind::Digits) {
        // Pasted text passes no key filter: only its digits are kept.
        const QString typed = dgView->Text();
        const QString text = GetDigitsOnly(typed).left(kOptionDigits);
        if (text != typed) {
            dgView->SetText(text);
            if (auto* line = qobject_cast<QLineEdit*>(dgView->ActiveEditor()))
                line->setCursorPosition(int(text.size()));
        }
        dgView->SetCellText(row, kRealValue, dgView->Text());
        return;
    }
    const int position = dgView->ActiveListPosition();
    if (position >= 0)
        dgView->SetCellText(row, kRealValue, QString::number(position));
}

void SetupForm::dgView_DblClick() {
    rt::IgnoreErrors([&] {
        // A plain text cell has no list to step through.
        if (!IsChoiceRow(OptionKindOf(CurrentOptionKey())))
            return;
        if (StepValueList(dgView))
            dgView_Change();
    });
}

void SetupForm::dgView_KeyDown(int* keyCode) {
    Q_UNUSED(keyCode);
    if (OptionKindOf(CurrentOptionKey()) != OptionKind::Digits)
        SelectActiveCellText(dgView);
}

void SetupForm::dgView_KeyPress(int* keyAscii) {
    if (OptionKindOf(CurrentOptionKey()) != OptionKind::Digits)
        return;
    const int ch = *keyAscii;
    if (!((ch >= 48 && ch <= 57) || ch == 8))
        *keyAscii = 0;
}

void SetupForm::dgView_BtnClick() {
    if (!GoodsGroupsRecordset())
        return;
    SetHourglass(true);
    {
        SetupGroupsForm picker(settings_, this);
        picker.exec();
        GoodsGroupsSelection = picker.result();
    }
    SetTopMost(this);
    dgView->SetText(
        GetOptionDisplayText(CurrentOptionKey(), GoodsGroupsSelection.isEmpty() ? 0 : 1));
    SelectActiveCellText(dgView);
}

void SetupForm::CopyOptionsIntoRecord(ConfigurationRecord& record) {
    // Every value already reached its cell as it was typed or chosen; the
    // rows are read without redrawing.
    dgView->SetRedraw(false);
    for (int row = 0; row < dgView->Rows(); ++row) {
        rt::IgnoreErrors([&] {
            CopyOptionIntoRecord(record, dgView->CellText(row, kIndex),
                                 dgView->CellText(row, kRealValue), GoodsGroupsSelection);
        });
    }
    dgView->SetRedraw(true);
}
