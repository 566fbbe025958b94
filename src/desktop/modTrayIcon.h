#pragma once

#include <QIcon>
#include <QString>

#include "Version.h"

#include <functional>

class QMenu;

namespace quillbox::desktop {

// The icon's mouse events, numbered as the window messages they were first reported as. The
// main window decodes these numbers; the tray service translates its own events into them.
inline constexpr int WM_MOUSEMOVE = 512;
inline constexpr int WM_LBUTTONUP = 514;
inline constexpr int WM_LBUTTONDBLCLK = 515;
inline constexpr int WM_RBUTTONUP = 517;
inline constexpr int WM_MBUTTONUP = 520;

inline const QString TrayTip = QStringLiteral(QUILLBOX_NAME_AND_VERSION);

// The notification-area icon of the main window: one icon, added once and removed once.
class TrayIcon {
public:
    virtual ~TrayIcon() = default;

    // Shows the icon. Each mouse event on it reaches `onMessage` as one of the numbers above.
    virtual void add(const QIcon& icon, const QString& tip, std::function<void(int)> onMessage) = 0;
    virtual void remove() = 0;
    // Whether the desktop has a notification area at all; without one, a hidden window could
    // never be brought back.
    virtual bool available() const = 0;
    // Pops `menu` up at the mouse position and returns when it closes (an item chosen has run).
    virtual void popUp(QMenu& menu) = 0;
};

} // namespace quillbox::desktop
