#include "desktop/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace quillbox::desktop {

void QtClipboard::setText(const QString& text) {
    // A clipboard that cannot be had (another program holding it, no display connection) simply
    // keeps what it had: copying is never worth ending the program over.
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    clipboard->clear();
    clipboard->setText(text);
}

} // namespace quillbox::desktop
