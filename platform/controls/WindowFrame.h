#pragma once

#include <QSize>
#include <Qt>

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

// New window flags (stays on top, close box) for a top-level window. One
// that already has its native window keeps it: the flags reach the window
// manager in place, where new flags through the widget would hide the window
// and show it again (a modal dialog's loop ends, and a window shown anew
// takes the focus from whatever window the user is in).
void SetWindowFlags(QWidget* window, Qt::WindowFlags flags);

}  // namespace platform
