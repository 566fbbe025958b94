#pragma once

#include "desktop/modTrayIcon.h"

#include <QSystemTrayIcon>

#include <functional>
#include <future>
#include <memory>

class QDBusConnection;

namespace quillbox::desktop {

// The icon through QSystemTrayIcon, which speaks both the StatusNotifierItem protocol and the
// older X11 system tray.
class QtTrayIcon : public TrayIcon {
public:
    // Which of the two the icon lands in. A StatusNotifierItem host (KDE Plasma, GNOME with the
    // AppIndicator extension) reports a left click as the item's activation and has no
    // double-click at all; the XEmbed tray reports single and double clicks as they come.
    enum class Kind { StatusNotifier, XEmbed };

    QtTrayIcon();
    ~QtTrayIcon() override;

    // Starts asking the session bus which kind the icon will land in, on a thread of its own:
    // reaching the bus (where there is none, libdbus first tries to start one) then goes on
    // while the windows are built, and add() takes the answer. Once the application exists.
    void askMeanwhile();

    void add(const QIcon& icon, const QString& tip, std::function<void(int)> onMessage) override;
    void remove() override;
    bool available() const override;
    void popUp(QMenu& menu) override;

    // Qt's Linux platform themes put the icon on D-Bus when, as the first icon is made, a
    // StatusNotifierWatcher on the session bus says a host (a panel that shows the items) is
    // registered with it, and on the XEmbed tray otherwise; this asks `bus` the same question.
    static Kind kindOn(const QDBusConnection& bus);
    // kindOn() on a thread of its own, on the bus that `connect` reaches there.
    static std::future<Kind> kindMeanwhile(std::function<QDBusConnection()> connect);
    // The message an activation is reported as, 0 for none. The activation of a
    // StatusNotifierItem is its primary action, so it counts as the double-click that brings the
    // window back; on the older tray a single click stays a single click.
    static int messageFor(Kind kind, QSystemTrayIcon::ActivationReason why);

private:
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::future<Kind> kind_;
};

} // namespace quillbox::desktop
