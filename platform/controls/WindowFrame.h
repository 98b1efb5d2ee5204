#pragma once

#include <QSize>

class QWidget;

// Window sizes that include the frame (title bar and borders), as the
// designed sizes of the station's windows do. The client area gets that size
// less the frame the window manager draws, and follows when the frame becomes
// known (once the window is shown and framed) or changes. Without a window
// manager, or before one has framed the window, the client area takes the
// whole size.
namespace platform {

// Fixes the window's size, frame included.
void SetFixedFrameSize(QWidget* window, QSize frame);

}  // namespace platform
