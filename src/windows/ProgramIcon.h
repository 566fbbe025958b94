#pragma once

#include <QIcon>

namespace quillbox::windows {

// The open book: hand-drawn 16 and 32 pixel images in the 16-colour palette, and the scalable
// drawing at 48, 64, 96 and 128 pixels, each drawn for its size rather than blown up.
QIcon programIcon();

} // namespace quillbox::windows
