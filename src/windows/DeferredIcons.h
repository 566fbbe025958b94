#pragma once

#include <QIcon>
#include <QIconEngine>
#include <QProxyStyle>

#include <functional>
#include <memory>
#include <optional>

namespace quillbox::windows {

// An icon made only when it is first drawn or measured. Copies share what was made.
class DeferredIconEngine : public QIconEngine {
public:
    explicit DeferredIconEngine(std::function<QIcon()> make);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QString iconName() override;
    bool isNull() override;
    QString key() const override;
    QIconEngine* clone() const override;

private:
    struct Shared {
        std::function<QIcon()> make;
        std::optional<QIcon> icon;
    };
    const QIcon& icon();

    std::shared_ptr<Shared> shared_;
};

// The desktop's own style, with its standard icons made when first drawn rather than when asked
// for. A menu bar asks for its overflow button's icon as it is made, and reading that one image
// loads every image plugin on the machine, at every start, for a button that shows only when the
// menus do not fit.
class DeferredIconStyle : public QProxyStyle {
public:
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};

} // namespace quillbox::windows
