#pragma once

#include "platform/MessageBoxService.h"

#include <deque>
#include <vector>

namespace quillbox::test {

// Records every box instead of showing it and answers from a queue.
class FakeMessageBoxes : public platform::MessageBoxService {
public:
    struct Call {
        QString prompt;
        int style;
        QString title;
    };

    int MsgBox(const QString& prompt, int style, const QString& title) override;

    // The answer to the next box not yet shown. With none queued a box gets OK, or No when it
    // asks Yes or No.
    void answerNext(int answer) { answers_.push_back(answer); }

    std::vector<Call> calls;

private:
    std::deque<int> answers_;
};

} // namespace quillbox::test
