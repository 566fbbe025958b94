#pragma once

#include <QEvent>
#include <QWidget>

#include <cmath>

namespace quillbox::windows {

// At a fractional scale (1.5x, say) the viewport of a framed scroll area, rounded to whole
// device pixels, may paint over the bottom line of its frame, depending on where the box lands
// on the screen. A logical pixel of margin under the viewport keeps the line clear; at a whole
// scale none is needed. Asked again when the widget is shown or moves to another screen.
inline int viewportBottomMargin(const QWidget* w) {
    const qreal ratio = w->devicePixelRatioF();
    return ratio == std::floor(ratio) ? 0 : 1;
}

inline bool scaleMayHaveChanged(const QEvent* e) {
    return e->type() == QEvent::Show || e->type() == QEvent::ScreenChangeInternal;
}

} // namespace quillbox::windows
