#pragma once

class QWidget;

namespace quillbox::windows {

// The layouts were drawn for a narrow dialog font; a platform whose default font is wider would
// cut captions off, or run them under the small buttons that overlap some labels. This picks the
// largest size of the platform's font, no larger than its default, at which every label and
// button caption among `parent`'s children shows whole, and gives it to `parent`.
void fitFont(QWidget* parent);

} // namespace quillbox::windows
