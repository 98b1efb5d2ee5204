#include <gtest/gtest.h>
#include <QDialog>
#include <QTimer>

#include "common/TestSupport.h"
#include "core/ModWindowState.h"

// A dialog that makes itself top-most while it is shown modally stays open:
// its modal loop ends only when it is answered.
TEST(WindowStateModal, TopMostKeepsAShownModalDialogOpen) {
    QDialog dialog;
    bool stillVisible = false;
    QTimer::singleShot(50, &dialog, [&] {
        SetTopMost(&dialog);
        stillVisible = dialog.isVisible();
        QTimer::singleShot(50, &dialog, [&] { dialog.accept(); });
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_TRUE(stillVisible);
}
