#include "desktop/QtMessageBoxService.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>

#include <memory>

namespace quillbox::desktop {

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

// What a window manager's title bar takes beside the title: the window's icon and its buttons.
constexpr int titleBarExtras = 160;

// A box sizes itself to its text and buttons, so a short prompt gives a box whose title bar cuts
// its title. A row of the box's own layout holds it open to the title's width, set in the bold
// font most title bars use, never wider than the screen.
void makeRoomForTitle(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    int width = QFontMetrics(font).horizontalAdvance(box.windowTitle()) + titleBarExtras;
    if (const QScreen* screen = box.screen())
        width = std::min(width, screen->availableGeometry().width() / 2);
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

// The box MsgBox shows, set up but not yet shown.
std::unique_ptr<QMessageBox> build(const QString& prompt, int style, const QString& title,
                                   QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(title);
    // Prompts carry file names and engine text; never let Qt guess they are markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(prompt);
    box->setIcon(iconOf(style));
    const ButtonSet set = buttonsOf(style);
    box->setStandardButtons(set.buttons);
    box->setDefaultButton(set.defaultButton);
    makeRoomForTitle(*box);
    return box;
}

// The classic answer for the button that closed the box.
int answerFor(int clicked) {
    switch (clicked) {
    case SB::Yes:
        return MessageBoxService::AnswerYes;
    case SB::No:
        return MessageBoxService::AnswerNo;
    default:
        return MessageBoxService::AnswerOk;
    }
}

} // namespace

int QtMessageBoxService::MsgBox(const QString& prompt, int style, const QString& title) {
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent)
        parent = QApplication::activeWindow();
    auto box = build(prompt, style, title, parent);
    if (!parent)
        box->setWindowModality(Qt::ApplicationModal);
    return answerFor(box->exec());
}

} // namespace quillbox::desktop
