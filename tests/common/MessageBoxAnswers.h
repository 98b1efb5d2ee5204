#pragma once

// Answers the station's own message box (MsgBoxExForm) in tests, beside the
// modal helper that finds it.
#include <gtest/gtest.h>
#include <QString>
#include <QWidget>

#include "common/ModalHelper.h"
#include "localization/MsgBoxExForm.h"
#include "platform/controls/CommandButton.h"

namespace modal {

// Presses the message box's button of that result (kMsgOk ... kMsgNo). A
// window that is no message box, or has no such button, fails the test and is
// closed.
inline void PressResult(QWidget* window, int result) {
    if (auto* box = qobject_cast<MsgBoxExForm*>(window)) {
        for (platform::CommandButton* b : box->ResultButtons()) {
            if (b->Tag() == QString::number(result)) {
                b->Press();
                return;
            }
        }
    }
    ADD_FAILURE() << "no button for result " << result << " in " << Describe(window);
    ForceClose(window);
}

// Answers the next message box with the button of that result; its prompt
// goes to *prompt.
inline void AnswerBox(int result, QString* prompt) {
    WhenModal([result, prompt](QWidget* w) {
        if (auto* box = qobject_cast<MsgBoxExForm*>(w))
            *prompt = box->Prompt();
        PressResult(w, result);
    });
}

}  // namespace modal
