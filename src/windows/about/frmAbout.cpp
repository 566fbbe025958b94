#include "windows/about/frmAbout.h"

#include "Version.h"
#include "windows/Controls.h"
#include "windows/FitText.h"
#include "windows/Placement.h"
#include "windows/ProgramIcon.h"
#include "windows/Twips.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace quillbox::windows {

static const char* const aboutText =
    QUILLBOX_NAME_AND_VERSION "\n\nA contact manager for one person.";

frmAbout::frmAbout(Services& services)
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint),
      s_(services) {
    // Qt::Tool keeps the window off the taskbar.
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Quillbox"));
    setWindowIcon(programWindowIcon());
    setFixedSize(px(2850), px(2160));

    // The icon, 32 pixels square, stands in the text's top left corner, the text beside it.
    const Control controls[] = {
        {&imgIcon, "imgIcon", "", 240, 120, 480, 480, -1},
        {&Label1, "Label1", aboutText, 240, 120, 2535, 1335, -1},
        {&cmdOK3, "cmdOK3", "OK", 960, 1680, 975, 375, 0},
    };
    makeControls(this, controls);
    imgIcon->setPixmap(programIcon().pixmap(32, 32));
    Label1->setContentsMargins(imgIcon->width() + 8, 0, 0, 0);
    Label1->setWordWrap(true);
    Label1->setTextFormat(Qt::PlainText);
    cmdOK3->setFocus();
    fitFont(this);
    connect(cmdOK3, &QPushButton::clicked, this, guarded(this, &frmAbout::cmdOK3_Click));
    centreOnScreen(this);
}

void frmAbout::cmdOK3_Click() { close(); }

void frmAbout::keyPressEvent(QKeyEvent* e) {
    // Esc closes nothing; Enter, like Space, presses the button that has the focus.
    if (e->key() == Qt::Key_Escape) {
        e->ignore();
    } else if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
               focusWidget() == cmdOK3) {
        cmdOK3->click();
    } else {
        QDialog::keyPressEvent(e);
    }
}

} // namespace quillbox::windows
