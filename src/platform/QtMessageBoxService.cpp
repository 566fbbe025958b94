#include "platform/QtMessageBoxService.h"

#include <QApplication>

namespace quillbox::platform {

namespace {

using SB = QMessageBox::StandardButton;

struct ButtonSet {
    QMessageBox::StandardButtons buttons;
    SB defaultButton;
};

ButtonSet buttonsOf(int style) {
    if ((style & 0x0F) == MessageBoxService::ButtonsYesNo)
        return {SB::Yes | SB::No, SB::Yes};
    return {SB::Ok, SB::Ok};
}

QMessageBox::Icon iconOf(int style) {
    switch (style & 0x70) {
    case MessageBoxService::IconStop:
        return QMessageBox::Critical;
    case MessageBoxService::IconQuestion:
        return QMessageBox::Question;
    case MessageBoxService::IconExclamation:
        return QMessageBox::Warning;
    case MessageBoxService::IconInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

std::unique_ptr<QMessageBox> QtMessageBoxService::build(const QString& prompt, int style,
                                                        const QString& title, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(title);
    // Prompts carry file names and engine text; never let Qt guess they are markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(prompt);
    box->setIcon(iconOf(style));
    const ButtonSet set = buttonsOf(style);
    box->setStandardButtons(set.buttons);
    box->setDefaultButton(set.defaultButton);
    return box;
}

int QtMessageBoxService::answerFor(int clicked) {
    switch (clicked) {
    case SB::Yes:
        return AnswerYes;
    case SB::No:
        return AnswerNo;
    default:
        return AnswerOk;
    }
}

int QtMessageBoxService::MsgBox(const QString& prompt, int style, const QString& title) {
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent)
        parent = QApplication::activeWindow();
    auto box = build(prompt, style, title, parent);
    if (!parent)
        box->setWindowModality(Qt::ApplicationModal);
    return answerFor(box->exec());
}

} // namespace quillbox::platform
