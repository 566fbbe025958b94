#include "windows/about/frmAbout.h"

#include "Version.h"
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
    setWindowIcon(programIcon());
    setFixedSize(px(2850), px(2160));

    // The icon stands in the text's top left corner, the text beside it.
    const QRect textRect = twipsRect(240, 120, 2535, 1335);
    imgIcon = new QLabel(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setPixmap(programIcon().pixmap(32, 32));
    imgIcon->setGeometry(QRect(textRect.topLeft(), QSize(32, 32)));

    Label1 = new QLabel(QString::fromUtf8(aboutText), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(textRect);
    Label1->setContentsMargins(imgIcon->width() + 8, 0, 0, 0);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setTextFormat(Qt::PlainText);

    cmdOK3 = new QPushButton(QStringLiteral("OK"), this);
    cmdOK3->setObjectName(QStringLiteral("cmdOK3"));
    cmdOK3->setGeometry(twipsRect(960, 1680, 975, 375));
    cmdOK3->setAutoDefault(false); // not the window's default button
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
