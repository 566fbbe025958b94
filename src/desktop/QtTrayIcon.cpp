#include "desktop/QtTrayIcon.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QMenu>

#include <system_error>

namespace quillbox::desktop {

QtTrayIcon::QtTrayIcon() = default;
QtTrayIcon::~QtTrayIcon() = default;

QtTrayIcon::Kind QtTrayIcon::kindOn(const QDBusConnection& bus) {
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    const QDBusConnectionInterface* daemon = bus.isConnected() ? bus.interface() : nullptr;
    if (!daemon || !daemon->isServiceRegistered(watcher))
        return Kind::XEmbed;
    QDBusMessage get = QDBusMessage::createMethodCall(
        watcher, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
    // Bounded: a watcher that does not answer must not hold up the start for long.
    const QDBusReply<QDBusVariant> host = bus.call(get, QDBus::Block, 2000);
    return host.isValid() && host.value().variant().toBool() ? Kind::StatusNotifier
                                                             : Kind::XEmbed;
}

std::future<QtTrayIcon::Kind> QtTrayIcon::kindMeanwhile(std::function<QDBusConnection()> connect) {
    try {
        return std::async(std::launch::async,
                          [connect = std::move(connect)] { return kindOn(connect()); });
    } catch (const std::system_error&) { // no thread to be had: add() asks itself
        return {};
    }
}

void QtTrayIcon::askMeanwhile() {
    kind_ = kindMeanwhile([] { return QDBusConnection::sessionBus(); });
}

int QtTrayIcon::messageFor(Kind kind, QSystemTrayIcon::ActivationReason why) {
    switch (why) {
    case QSystemTrayIcon::Trigger:
        return kind == Kind::StatusNotifier ? WM_LBUTTONDBLCLK : WM_LBUTTONUP;
    case QSystemTrayIcon::DoubleClick:
        return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::Context:
        return WM_RBUTTONUP;
    case QSystemTrayIcon::MiddleClick:
        return WM_MBUTTONUP;
    case QSystemTrayIcon::Unknown:
        break;
    }
    return 0;
}

void QtTrayIcon::add(const QIcon& icon, const QString& tip, std::function<void(int)> onMessage) {
    // Asked before the icon exists, as Qt asks when it makes its first one.
    const Kind kind = kind_.valid() ? kind_.get() : kindOn(QDBusConnection::sessionBus());
    icon_ = std::make_unique<QSystemTrayIcon>(icon);
    icon_->setToolTip(tip);
    QObject::connect(
        icon_.get(), &QSystemTrayIcon::activated,
        [kind, onMessage = std::move(onMessage)](QSystemTrayIcon::ActivationReason why) {
            if (const int message = messageFor(kind, why))
                onMessage(message);
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

} // namespace quillbox::desktop
