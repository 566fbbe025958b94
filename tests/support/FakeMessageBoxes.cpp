#include "support/FakeMessageBoxes.h"

namespace quillbox::test {

int FakeMessageBoxes::MsgBox(const QString& prompt, int style, const QString& title) {
    calls.push_back({prompt, style, title});
    if (!answers_.empty()) {
        const int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    return (style & 0x0F) == ButtonsYesNo ? AnswerNo : AnswerOk;
}

} // namespace quillbox::test
