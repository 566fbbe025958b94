#include "windows/FitText.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace quillbox::windows {

namespace {

constexpr qreal smallestPointSize = 6.0;
// Kept between a grown label and the control that stops it.
constexpr int gap = 2;
// Tried at each size before a smaller one: the letters as they are, then narrower ones (the
// family's condensed face where it has one, then narrowed further): a caption of the same height
// as its neighbours reads better than a smaller one.
constexpr int stretches[] = {QFont::Unstretched, QFont::SemiCondensed, 80};

bool overlapsRows(const QRect& a, const QRect& b) {
    return a.top() <= b.bottom() && b.top() <= a.bottom();
}
bool overlapsColumns(const QRect& a, const QRect& b) {
    return a.left() <= b.right() && b.left() <= a.right();
}

void growLabel(QLabel* label, const QList<QWidget*>& controls, int rightmost) {
    QRect r = label->geometry();
    int right = rightmost;
    for (const QWidget* w : controls) {
        const QRect o = w->geometry();
        if (w != label && o.left() > r.left() && overlapsRows(o, r))
            right = std::min(right, o.left() - gap);
    }
    r.setWidth(std::max(0, right - r.left()));
    if (label->wordWrap()) {
        int bottom = r.bottom() + 1;
        bool stopped = false;
        for (const QWidget* w : controls) {
            const QRect o = w->geometry();
            if (w != label && o.top() > r.top() && overlapsColumns(o, r)) {
                bottom = stopped ? std::min(bottom, o.top() - gap) : o.top() - gap;
                stopped = true;
            }
        }
        r.setHeight(std::max(r.height(), bottom - r.top()));
    }
    label->setGeometry(r);
}

void stopShortOfBelow(QPushButton* button, const QList<QWidget*>& controls) {
    QRect r = button->geometry();
    for (const QWidget* w : controls) {
        const QRect o = w->geometry();
        if (!qobject_cast<const QLabel*>(w) && o.top() > r.top() && o.top() <= r.bottom() &&
            overlapsColumns(o, r))
            r.setBottom(o.top() - 1);
    }
    button->setGeometry(r);
}

// What a label shows: with a buddy, "&" marks the access key and "&&" is an ampersand.
QString shownText(const QLabel* label) {
    QString text = label->text();
    if (label->buddy())
        text.replace(QLatin1String("&&"), QStringLiteral("\x01"))
            .remove(u'&')
            .replace(u'\x01', u'&');
    return text;
}

bool fits(const QFont& font, const QWidget* w) {
    const QFontMetricsF fm(font);
    const QRectF room = w->contentsRect();
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        const QString text = shownText(label);
        if (text.isEmpty())
            return true;
        if (label->wordWrap()) {
            const QRectF needed =
                fm.boundingRect(room, Qt::TextWordWrap | label->alignment(), text);
            return needed.height() <= room.height() && needed.width() <= room.width();
        }
        return fm.horizontalAdvance(text) <= room.width() && fm.height() <= room.height();
    }
    const auto* button = static_cast<const QPushButton*>(w);
    return fm.horizontalAdvance(button->text()) <= button->width() - 4 &&
           fm.height() <= button->height();
}

void fitOne(QWidget* w, const QFont& base) {
    if (fits(base, w))
        return;
    // The base font at its own size and width has just failed: measuring it again under another
    // name would only load one more font engine.
    const bool baseUnstretched =
        base.stretch() == QFont::AnyStretch || base.stretch() == QFont::Unstretched;
    QFont font = base;
    for (qreal size = base.pointSizeF(); size >= smallestPointSize; size -= 0.5) {
        font.setPointSizeF(size);
        for (const int stretch : stretches) {
            if (baseUnstretched && stretch == QFont::Unstretched && size == base.pointSizeF())
                continue;
            font.setStretch(stretch);
            if (fits(font, w)) {
                w->setFont(font);
                return;
            }
        }
    }
    w->setFont(font);
}

} // namespace

void fitFont(QWidget* parent) {
    const QList<QWidget*> controls = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    int rightmost = 0;
    for (const QWidget* w : controls)
        rightmost = std::max(rightmost, w->geometry().right() + 1);
    for (QWidget* w : controls) {
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty())
            growLabel(label, controls, rightmost);
        else if (auto* button = qobject_cast<QPushButton*>(w))
            stopShortOfBelow(button, controls);
    }

    QFont base = parent->font();
    if (base.pointSizeF() <= 0) // a font given in pixels: work in points from here
        base.setPointSizeF(QFontInfo(base).pointSizeF());
    for (QWidget* w : controls)
        if (qobject_cast<QLabel*>(w) || qobject_cast<QPushButton*>(w))
            fitOne(w, base);
}

} // namespace quillbox::windows
