#pragma once

#include "tray/modTrayIcon.h"

#include <memory>

class QSystemTrayIcon;

namespace quillbox::tray {

// The icon through QSystemTrayIcon, which speaks both the StatusNotifierItem protocol and the
// older X11 system tray.
class QtTrayIcon : public TrayIcon {
public:
    QtTrayIcon();
    ~QtTrayIcon() override;

    void add(const QIcon& icon, const QString& tip, std::function<void(int)> onMessage) override;
    void remove() override;
    bool available() const override;
    void popUp(QMenu& menu) override;

private:
    std::unique_ptr<QSystemTrayIcon> icon_;
};

} // namespace quillbox::tray
