#include "windows/Placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace quillbox::windows {

void centreOnScreen(QWidget* window) {
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

} // namespace quillbox::windows
