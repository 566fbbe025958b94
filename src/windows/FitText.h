#pragma once

class QWidget;

namespace quillbox::windows {

// The layouts were drawn for a narrow dialog font; the platform's default font is wider and
// would cut captions off. Among `parent`'s direct children, laid out already:
// - a label, which draws nothing but its text, takes the free room to its right (a wrapping
//   label also the room below it) up to the next control, or the right edge of the rightmost;
// - a button that runs into a control below it stops short of it, so that both borders show;
// - each label and button gets the largest font, no larger than `parent`'s, at which its caption
//   shows whole: at the default size where it fits, else narrower letters of the same size,
//   then smaller ones. Captions that fit keep the default, so one tight caption does not shrink
//   the rest.
void fitFont(QWidget* parent);

} // namespace quillbox::windows
