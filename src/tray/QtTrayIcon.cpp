#include "tray/QtTrayIcon.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

namespace quillbox::tray {

QtTrayIcon::QtTrayIcon() = default;
QtTrayIcon::~QtTrayIcon() = default;

void QtTrayIcon::add(const QIcon& icon, const QString& tip, std::function<void(int)> onMessage) {
    icon_ = std::make_unique<QSystemTrayIcon>(icon);
    icon_->setToolTip(tip);
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated,
                     [onMessage = std::move(onMessage)](QSystemTrayIcon::ActivationReason why) {
                         switch (why) {
                         case QSystemTrayIcon::DoubleClick:
                             onMessage(WM_LBUTTONDBLCLK);
                             break;
                         case QSystemTrayIcon::Context:
                             onMessage(WM_RBUTTONUP);
                             break;
                         case QSystemTrayIcon::Trigger:
                             onMessage(WM_LBUTTONUP);
                             break;
                         case QSystemTrayIcon::MiddleClick:
                             onMessage(WM_MBUTTONUP);
                             break;
                         case QSystemTrayIcon::Unknown:
                             break;
                         }
                     });
    icon_->show();
}

void QtTrayIcon::remove() {
    if (icon_)
        icon_->hide();
    icon_.reset();
}

bool QtTrayIcon::available() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

void QtTrayIcon::popUp(QMenu& menu) { menu.exec(QCursor::pos()); }

} // namespace quillbox::tray
