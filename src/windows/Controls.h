#pragma once

#include <span>
#include <variant>

class QFrame;
class QLabel;
class QPushButton;
class QWidget;

namespace quillbox::windows {

class LineBox;
class ListBox;
class MultiLineBox;

// One row of a window's table of controls: where its pointer goes (which also says what kind
// it is), its name (also its objectName), text, place in twips, tab place (-1: takes no
// focus), tooltip, length limit, whether it shows at start, and whether it is the dialog's
// default button, which Enter presses.
using Slot = std::variant<QPushButton**, QLabel**, LineBox**, MultiLineBox**, ListBox**, QFrame**>;
struct Control {
    Slot slot;
    const char* name;
    const char* text;
    int left, top, width, height;
    int tab;
    const char* tip = nullptr;
    int max = 0;
    bool visible = true;
    bool isDefault = false;
};

// Makes each control of `table` a child of `parent`, in the table's order, and chains the ones
// that take the focus in the order of their tab places. A label's caption stands at its top
// left; a button other than the default one is pressed by Space alone, never by Enter.
void makeControls(QWidget* parent, std::span<const Control> table);

} // namespace quillbox::windows
