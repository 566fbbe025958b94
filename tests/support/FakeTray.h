#pragma once

#include "tray/modTrayIcon.h"

#include <QMenu>

#include <functional>
#include <vector>

namespace quillbox::test {

// Records what the window does with its icon; send() plays the part of the user's mouse.
class FakeTray : public tray::TrayIcon {
public:
    void add(const QIcon& icon, const QString& tip, std::function<void(int)> onMessage) override {
        ++added;
        this->tip = tip;
        hadIcon = !icon.isNull();
        handler_ = std::move(onMessage);
    }
    void remove() override { ++removed; }
    bool available() const override { return hasArea; }
    void popUp(QMenu& menu) override {
        popUps.push_back(menu.objectName());
        if (whilePoppedUp)
            whilePoppedUp(menu);
    }

    void send(int message) {
        if (handler_)
            handler_(message);
    }

    int added = 0;
    int removed = 0;
    QString tip;
    bool hadIcon = false;
    bool hasArea = true;
    std::vector<QString> popUps;
    // Runs inside popUp, as the events of the menu's own event loop would.
    std::function<void(QMenu&)> whilePoppedUp;

private:
    std::function<void(int)> handler_;
};

} // namespace quillbox::test
