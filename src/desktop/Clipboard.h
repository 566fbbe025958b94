#pragma once

#include <QString>

namespace quillbox::desktop {

// The system clipboard, written as plain text only.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Empties the clipboard of every format it held, then puts `text` on it as plain text. Line
    // breaks are given as "\n"; the platform's own form is the clipboard's business.
    virtual void setText(const QString& text) = 0;
};

class QtClipboard : public Clipboard {
public:
    void setText(const QString& text) override;
};

} // namespace quillbox::desktop
