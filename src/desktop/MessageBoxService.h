#pragma once

#include <QString>

namespace quillbox::desktop {

// The program's one way of asking the user something or telling them. Styles and answers keep
// the classic numbering: the low four bits choose the buttons, 16/32/48/64 the icon.
class MessageBoxService {
public:
    // Buttons.
    static constexpr int ButtonsOk = 0;
    static constexpr int ButtonsYesNo = 4;
    // Icons.
    static constexpr int IconStop = 16;
    static constexpr int IconQuestion = 32;
    static constexpr int IconExclamation = 48;
    static constexpr int IconInformation = 64;
    // The styles in use.
    static constexpr int StyleStop = IconStop | ButtonsOk;                 // 16
    static constexpr int StyleExclamation = IconExclamation | ButtonsOk;   // 48
    static constexpr int StyleInformation = IconInformation | ButtonsOk;   // 64
    static constexpr int StyleYesNoQuestion = IconQuestion | ButtonsYesNo; // 36

    // Answers.
    static constexpr int AnswerOk = 1;
    static constexpr int AnswerYes = 6;
    static constexpr int AnswerNo = 7;

    virtual ~MessageBoxService() = default;

    // Shows the box modally and returns the answer.
    virtual int MsgBox(const QString& prompt, int style, const QString& title) = 0;
};

} // namespace quillbox::desktop
