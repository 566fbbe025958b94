#pragma once

#include <QIcon>
#include <QList>

namespace quillbox::windows {

// The open book: hand-drawn 16 and 32 pixel images in the 16-colour palette, and the scalable
// drawing at 48, 64, 96 and 128 pixels, each drawn for its size rather than blown up. Every size,
// for whoever picks one: the tray and the About window.
QIcon programIcon();

// What a window hands the desktop: only the sizes its frame, taskbar and window switcher ask for
// on the screens there are. Each size travels to the display with every window shown, and the
// installed menu entry gives the desktop the large ones.
QIcon programWindowIcon();

// The drawn sizes for a window on a screen of `devicePixelRatio`: the frame's 16, the taskbar's
// 32 and the switcher's 48 pixels scaled by it, each the smallest drawn size that is not blown up
// (or the largest drawn).
QList<int> windowIconSizes(qreal devicePixelRatio);

} // namespace quillbox::windows
