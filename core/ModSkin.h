#pragma once

class QWidget;
namespace platform {
class SkinManager;
}

// The program-wide skin component, created on first use with the "Default"
// scheme; SelectSkin hands it the configured scheme.
platform::SkinManager& SkinManager();

// Applies the current scheme to the whole window: button pictures, the
// window's back colour, each control's style by kind, then the window's own
// extras. Runs no other handler: the window repaints once the event loop
// runs again.
void ApplySkinToForm(QWidget* window);

// The extras of the main window, the help window and the settings dialog, by
// the window's objectName; other windows get nothing. The main window's
// containers are found by name: frmButtons, frmOrders(i), frmPanel(i),
// Panels(i), stbLite, lblTime(i), rtbOrder(i) and dgView.
void ApplyFormSkinDetails(QWidget* window);

// The pictures of the main window's action buttons (by tag) and of the login
// keypad (by index); other windows are left alone.
void SetButtonPictures(QWidget* window);
