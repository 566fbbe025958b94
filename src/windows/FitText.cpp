#include "windows/FitText.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QPushButton>

namespace quillbox::windows {

namespace {

constexpr qreal smallestPointSize = 6.0;

// The width a label's text may take: up to its right edge, or to the first sibling that lies
// over it further right (the "copy" buttons sit on the ends of their labels).
qreal clearWidth(const QLabel* label) {
    int width = label->contentsRect().width();
    const QRect band = label->geometry();
    for (const QObject* o : label->parentWidget()->children()) {
        const auto* w = qobject_cast<const QWidget*>(o);
        if (!w || w == label || qobject_cast<const QLabel*>(w))
            continue;
        const QRect r = w->geometry();
        if (r.intersects(band) && r.left() > band.left())
            width = std::min(width, r.left() - band.left() - 2);
    }
    return width;
}

bool fits(const QFont& font, const QWidget* parent) {
    const QFontMetricsF fm(font);
    for (const QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        const QString text = label->text();
        if (text.isEmpty())
            continue;
        if (label->wordWrap()) {
            const QRectF room = label->contentsRect();
            const QRectF needed = fm.boundingRect(room, Qt::TextWordWrap | label->alignment(), text);
            if (needed.height() > room.height() || needed.width() > room.width())
                return false;
        } else if (fm.horizontalAdvance(text) > clearWidth(label)) {
            return false;
        }
    }
    for (const QPushButton* b : parent->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly))
        if (fm.horizontalAdvance(b->text()) > b->width() - 4)
            return false;
    return true;
}

} // namespace

void fitFont(QWidget* parent) {
    QFont font = parent->font();
    if (font.pointSizeF() <= 0) // a font given in pixels: work in points from here
        font.setPointSizeF(QFontInfo(font).pointSizeF());
    while (!fits(font, parent) && font.pointSizeF() > smallestPointSize)
        font.setPointSizeF(std::max(smallestPointSize, font.pointSizeF() - 0.5));
    parent->setFont(font);
}

} // namespace quillbox::windows
