#include "windows/about/frmAbout.h"

#include "windows/Placement.h"
#include "windows/ProgramIcon.h"
#include "windows/Twips.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace quillbox::windows {

// The text the About window shows.
static const char* const aboutText = "";

frmAbout::frmAbout(Services& services)
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint),
      s_(services) {
    // Qt::Tool keeps the window off the taskbar.
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Quillbox"));
    setWindowIcon(programIcon());
    setFixedSize(px(2850), px(2160));

    Label1 = new QLabel(QString::fromUtf8(aboutText), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twipsRect(240, 120, 2535, 1335));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    cmdOK3 = new QPushButton(QStringLiteral("OK"), this);
    cmdOK3->setObjectName(QStringLiteral("cmdOK3"));
    cmdOK3->setGeometry(twipsRect(960, 1680, 975, 375));
    cmdOK3->setAutoDefault(false); // not the window's default button
    cmdOK3->setFocus();
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
