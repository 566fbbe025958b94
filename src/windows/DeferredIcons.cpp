#include "windows/DeferredIcons.h"

#include <QPointer>
#include <QWidget>

namespace quillbox::windows {

DeferredIconEngine::DeferredIconEngine(std::function<QIcon()> make)
    : shared_(std::make_shared<Shared>(Shared{std::move(make), std::nullopt})) {}

const QIcon& DeferredIconEngine::icon() {
    if (!shared_->icon)
        shared_->icon = shared_->make();
    return *shared_->icon;
}

void DeferredIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
                               QIcon::State state) {
    icon().paint(painter, rect, Qt::AlignCenter, mode, state);
}

QSize DeferredIconEngine::actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) {
    return icon().actualSize(size, mode, state);
}

QPixmap DeferredIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) {
    return icon().pixmap(size, mode, state);
}

QPixmap DeferredIconEngine::scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                                         qreal scale) {
    return icon().pixmap(size, scale, mode, state);
}

QList<QSize> DeferredIconEngine::availableSizes(QIcon::Mode mode, QIcon::State state) {
    return icon().availableSizes(mode, state);
}

QString DeferredIconEngine::iconName() {
    return icon().name();
}

bool DeferredIconEngine::isNull() {
    return icon().isNull();
}

QString DeferredIconEngine::key() const {
    return QStringLiteral("quillbox.deferred");
}

QIconEngine* DeferredIconEngine::clone() const {
    return new DeferredIconEngine(*this);
}

QIcon DeferredIconStyle::standardIcon(StandardPixmap which, const QStyleOption* option,
                                      const QWidget* widget) const {
    // The option is the caller's and lives no longer than the call: the icon made later goes
    // without it. The widget is asked after, if it is still there.
    if (option)
        return QProxyStyle::standardIcon(which, option, widget);
    QPointer<QStyle> base(baseStyle());
    QPointer<QWidget> asker(const_cast<QWidget*>(widget));
    return QIcon(new DeferredIconEngine([base, asker, which] {
        return base ? base->standardIcon(which, nullptr, asker) : QIcon();
    }));
}

} // namespace quillbox::windows
