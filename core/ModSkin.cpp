#include "core/ModSkin.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <array>

#include "core/Configuration.h"
#include "platform/ProgramState.h"
#include "platform/controls/CommandButton.h"
#include "platform/controls/ControlIndex.h"
#include "platform/controls/DataGrid.h"
#include "platform/controls/RichTextBox.h"
#include "platform/controls/SkinManager.h"

namespace {

using platform::ControlIndex;
using platform::ControlTag;
using platform::FindControlGroup;
using platform::FindIndexedControl;
using platform::WindowControls;

void SetPicture(QWidget* control, const QPixmap& picture) {
    if (auto* b = qobject_cast<platform::CommandButton*>(control)) {
        b->SetPicture(picture);
    } else if (auto* ab = qobject_cast<QAbstractButton*>(control)) {
        ab->setIcon(QIcon(picture));
        ab->setIconSize(picture.size());
    }
}

// The action button whose tag matches, compared after lower-casing; null
// when none does.
QWidget* ActionButtonByTag(QWidget* window, const QString& tag) {
    for (QWidget* b : FindControlGroup(window, QStringLiteral("btnAction"))) {
        if (ControlTag(b).toLower() == tag.toLower())
            return b;
    }
    return nullptr;
}

void SetBackColorOfAll(QWidget* window, const QString& name, const QColor& color) {
    for (QWidget* w : WindowControls(window)) {
        if (w->objectName() == name) {
            if (auto* rtb = qobject_cast<platform::RichTextBox*>(w))
                rtb->SetBackColor(color);
            else
                platform::SkinManager::SetBackColor(w, color);
        }
    }
}

void MainWindowDetails(QWidget* w) {
    platform::SkinManager& skin = SkinManager();
    const QColor dark = skin.BackColorDark();
    platform::SkinManager::SetBackColor(w, dark);
    SetBackColorOfAll(w, QStringLiteral("frmButtons"), dark);
    SetBackColorOfAll(w, QStringLiteral("dgView"), dark);
    SetBackColorOfAll(w, QStringLiteral("frmOrders"), dark);
    const QColor panel =
        skin.SelectedSkin() == QLatin1String("Default") ? skin.BackColor() : skin.OddRowsColor();
    SetBackColorOfAll(w, QStringLiteral("lblTime"), panel);
    SetBackColorOfAll(w, QStringLiteral("rtbOrder"), panel);
    SetBackColorOfAll(w, QStringLiteral("frmPanel"), dark);
    SetBackColorOfAll(w, QStringLiteral("Panels"), dark);
    SetBackColorOfAll(w, QStringLiteral("stbLite"), dark);
    // Text that stands on the dark areas (the status bar, the order count in
    // the button bar) is written in the light window colour: the scheme's
    // text colour is dark and would vanish there.
    for (QWidget* label : WindowControls(w)) {
        const QString n = label->objectName();
        if (n == QLatin1String("Panels") || n == QLatin1String("lblOrdersStatus")) {
            QPalette p = label->palette();
            p.setColor(QPalette::WindowText, skin.BackColorWindow());
            label->setPalette(p);
        }
    }
    for (QWidget* g : WindowControls(w)) {
        if (g->objectName() == QLatin1String("dgView"))
            skin.SetGridBackColor(qobject_cast<platform::DataGrid*>(g), false);
    }
}

}  // namespace

platform::SkinManager& SkinManager() {
    static platform::SkinManager instance;
    return instance;
}

namespace {
// The default scheme; the pictures drawn for another one go with it.
[[maybe_unused]] const bool kSkinResetRegistered =
    platform::RegisterStateReset([] { SkinManager() = platform::SkinManager(); });
}  // namespace

void ApplySkinToForm(QWidget* window) {
    if (!window)
        return;
    SetButtonPictures(window);
    platform::SkinManager& skin = SkinManager();
    platform::SkinManager::SetBackColor(window, skin.BackColorWindow());
    for (QWidget* w : WindowControls(window)) {
        if (qobject_cast<platform::CommandButton*>(w))
            skin.SetButtonDefaultStyle(w);
        else if (auto* grid = qobject_cast<platform::DataGrid*>(w))
            skin.SetGridBackColor(grid, false);
        else if (auto* label = qobject_cast<QLabel*>(w))
            label->pixmap().isNull() ? skin.SetLabelDefaultStyle(w)
                                     : skin.SetPictureDefaultStyle(w);
        else if (qobject_cast<QGroupBox*>(w) || w->metaObject() == &QFrame::staticMetaObject)
            skin.SetFrameDefaultStyle(w);
        else if (qobject_cast<QCheckBox*>(w))
            skin.SetCheckBoxDefaultStyle(w);
        else if (qobject_cast<QRadioButton*>(w))
            skin.SetOptionButtonDefaultStyle(w);
    }
    ApplyFormSkinDetails(window);
}

void ApplyFormSkinDetails(QWidget* window) {
    if (!window)
        return;
    const QString name = window->objectName();
    platform::SkinManager& skin = SkinManager();
    if (name == QLatin1String("MainWindow")) {
        MainWindowDetails(window);
    } else if (name == QLatin1String("HelpForm")) {
        for (int i = 0; i <= 2; ++i) {
            if (QWidget* b = FindIndexedControl(window, QStringLiteral("btnTab"), i))
                skin.SetTabButtonStyle(b);
        }
        for (QWidget* w : WindowControls(window)) {
            if (w->objectName() == QLatin1String("lvHelp"))
                platform::SkinManager::SetBackColor(w, skin.BackColorWindow());
        }
    } else if (name == QLatin1String("SetupForm")) {
        for (QWidget* b : FindControlGroup(window, QStringLiteral("btnTab")))
            skin.SetTabButtonStyle(b);
    }
}

void SetButtonPictures(QWidget* window) {
    if (!window)
        return;
    platform::SkinManager& skin = SkinManager();
    const QString name = window->objectName();
    if (name == QLatin1String("MainWindow")) {
        static const std::array<std::pair<const char*, const char*>, 11> table{{
            {"First", "Navigate_Left2"},
            {"Previous", "Navigate_Left"},
            {"Next", "Navigate_right"},
            {"Last", "Navigate_Right2"},
            {"UP", "UP"},
            {"Down", "DOWN"},
            {"Finish", "Kestrelle"},
            {"Login", "Keys"},
            {"Setup", "Setup"},
            {"Help", "Help"},
            {"Exit", "Exit"},
        }};
        for (const auto& [tag, picture] : table) {
            if (QWidget* b = ActionButtonByTag(window, QString::fromLatin1(tag)))
                SetPicture(b, skin.GetButtonPicture(QString::fromLatin1(picture)));
        }
        // The button after Finish clears arrived orders or refreshes the
        // database view, by the notification mode.
        if (QWidget* finish = ActionButtonByTag(window, QStringLiteral("Finish"))) {
            const QString picture =
                DatabaseMode() ? QStringLiteral("Refresh") : QStringLiteral("Clear");
            if (QWidget* next = FindIndexedControl(window, QStringLiteral("btnAction"),
                                                   ControlIndex(finish) + 1))
                SetPicture(next, skin.GetButtonPicture(picture));
        }
    } else if (name == QLatin1String("UsersLoginForm")) {
        static const std::array<const char*, 12> keypad{"Zero", "OK",    "Cancel", "One",
                                                        "Two",  "Three", "Four",   "Five",
                                                        "Six",  "Seven", "Eight",  "Nine"};
        for (int i = 0; i < int(keypad.size()); ++i) {
            if (QWidget* b = FindIndexedControl(window, QStringLiteral("btnDigit"), i))
                SetPicture(b, skin.GetButtonPicture(QString::fromLatin1(keypad[size_t(i)]),
                                                    skin.IconsizeSmall()));
        }
    }
}
