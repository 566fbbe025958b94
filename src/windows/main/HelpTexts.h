#pragma once

#include <span>

namespace quillbox::windows {

// The How to... menu's messages, each shown in an information box when its item is chosen.
struct HelpText {
    const char* item; // the menu item's objectName
    const char* title;
    const char* text;
};

std::span<const HelpText> helpTexts();

} // namespace quillbox::windows
