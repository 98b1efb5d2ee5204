#include "localization/MsgBoxExClass.h"

#include <QMessageBox>
#include <QPushButton>

#include "core/ModCommon.h"
#include "core/ModSpecialFolders.h"
#include "localization/MsgBoxExForm.h"
#include "platform/ProgramState.h"
#include "platform/Runtime.h"

QString MsgBoxExClass::DefaultTitle() const {
    if (!rt::Trim(defaultTitle_).isEmpty())
        return defaultTitle_;
    return GetFullProductName(GetAppIndexFromConfigName(GetFileNameFromPath(ConfigFile())));
}

QString MsgBoxExClass::ConfigFile() const {
    return rt::Trim(configFile_).isEmpty() ? GetAppConfigFilePath(kAppKestrelle, true)
                                           : configFile_;
}

int32_t MsgBoxExClass::Show(const QString& prompt, int32_t buttons, const QString& title,
                            const QString&, int32_t, const QFont* font) {
    if (standard_)
        return ShowStandard(prompt, buttons, title);
    const QString caption = rt::Trim(title).isEmpty() ? DefaultTitle() : title;
    // The box is not parented: it must come up even while no window exists,
    // and stays on top on its own.
    MsgBoxExForm form;
    form.SetConfigFile(configFile_);
    form.SetDictionaryFile(dictionaryFile_);
    form.SetMessageFont(font ? std::optional<QFont>(*font) : std::nullopt);
    form.SetPrompt(prompt);
    form.SetMsgBoxStyle(buttons);
    form.setWindowTitle(caption);
    form.exec();
    return form.result();
}

int32_t MsgBoxExClass::ShowStandard(const QString& prompt, int32_t buttons, const QString& title) {
    const MsgBoxStyleParts parts = ParseMsgBoxStyle(buttons);
    QMessageBox box;
    box.setWindowTitle(title);
    // The prompt is plain text whatever it looks like, as in the own box.
    box.setTextFormat(Qt::PlainText);
    box.setText(prompt);
    static const QMessageBox::Icon icons[] = {QMessageBox::NoIcon, QMessageBox::Critical,
                                              QMessageBox::Question, QMessageBox::Warning,
                                              QMessageBox::Information};
    box.setIcon(icons[parts.Icon]);
    const MsgBoxButtonSet set = MsgBoxButtons(parts.ButtonSet);
    QList<std::pair<QAbstractButton*, int32_t>> map;
    for (const auto& [key, result] : set.Buttons) {
        QMessageBox::StandardButton sb = QMessageBox::Ok;
        switch (result) {
            case kMsgCancel:
                sb = QMessageBox::Cancel;
                break;
            case kMsgAbort:
                sb = QMessageBox::Abort;
                break;
            case kMsgRetry:
                sb = QMessageBox::Retry;
                break;
            case kMsgIgnore:
                sb = QMessageBox::Ignore;
                break;
            case kMsgYes:
                sb = QMessageBox::Yes;
                break;
            case kMsgNo:
                sb = QMessageBox::No;
                break;
            default:
                break;
        }
        map.append({box.addButton(sb), result});
    }
    if (parts.DefaultButton < map.size())
        box.setDefaultButton(qobject_cast<QPushButton*>(map[parts.DefaultButton].first));
    if (set.EscapeButton >= 1)
        box.setEscapeButton(map[set.EscapeButton - 1].first);
    box.exec();
    for (const auto& [button, result] : map) {
        if (box.clickedButton() == button)
            return result;
    }
    return set.ClosingResult;
}

MsgBoxExClass& MsgBoxEx() {
    static MsgBoxExClass instance;
    return instance;
}

namespace {
// The program's own box, not on top, default title and files.
[[maybe_unused]] const bool kMsgBoxResetRegistered =
    platform::RegisterStateReset([] { MsgBoxEx() = MsgBoxExClass(); });
}  // namespace
