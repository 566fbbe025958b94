#pragma once

class QWidget;

namespace quillbox::windows {

// Places a window in the middle of the screen's free area.
void centreOnScreen(QWidget* window);

} // namespace quillbox::windows
