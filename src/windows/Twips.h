#pragma once

#include <QRect>

namespace quillbox::windows {

// Layouts are given in twips; 15 twips make one logical pixel.
constexpr int px(int twips) { return (twips + 7) / 15; }

constexpr QRect twipsRect(int left, int top, int width, int height) {
    return {px(left), px(top), px(width), px(height)};
}

} // namespace quillbox::windows
