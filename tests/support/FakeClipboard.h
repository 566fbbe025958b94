#pragma once

#include "platform/Clipboard.h"

#include <vector>

namespace quillbox::test {

// Records every text put on the clipboard; the last one is what it holds.
class FakeClipboard : public platform::Clipboard {
public:
    void setText(const QString& text) override { texts.push_back(text); }

    std::vector<QString> texts;
};

} // namespace quillbox::test
