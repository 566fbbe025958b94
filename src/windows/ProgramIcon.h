#pragma once

#include <QIcon>

namespace quillbox::windows {

// The open book: hand-drawn 16 and 32 pixel images in the 16-colour palette, and the scalable
// drawing for larger sizes where an SVG image plug-in is present.
QIcon programIcon();

} // namespace quillbox::windows
