// Sending to one address, and the send list in the e-mail panel.

#include "windows/main/MainProgram.h"

#include "data/Database.h"
#include "data/Recordset.h"
#include "data/Schema.h"
#include "windows/Twips.h"
#include "windows/common/TextBox.h"

#include <QFrame>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

namespace quillbox::windows {

namespace {

// Hands `address` (one or a send list) to the mail program. The opener gets the request as one
// program argument, and Linux refuses to start a program with an argument of 32 pages or more
// (MAX_ARG_STRLEN, 128 KiB with the closing NUL): a start that fails says nothing, so the size
// is checked before.
void send(Services& s, const QString& address) {
    constexpr qsizetype maxArgumentBytes = 32 * 4096;
    const QString request = QStringLiteral("mailto:") + address;
    if (request.toUtf8().size() >= maxArgumentBytes) {
        s.boxes.MsgBox(QStringLiteral("The send list is too long to send in one e-mail!"),
                       desktop::MessageBoxService::StyleExclamation, QStringLiteral("Oops!"));
        return;
    }
    s.mail.open(request);
}

} // namespace

void MainProgram::cmdSend_Click() { send(s_, txtUpdateEmail->Text()); }

// An address joins the list after ", " unless the list holds nothing at all; the address itself
// is taken as it is, empty or repeated.
void MainProgram::appendToSendList(QString& list, const QString& address) const {
    if (!list.isEmpty())
        list += QLatin1String(", ");
    list += address;
}

// The panel's height goes to the window's outer height, frame and title bar included: 6435 twips
// open (or just tall enough, should this platform's title bar and menu bar be too tall for the
// panel to show whole in that), 5490 closed. A maximized or minimized window keeps its size, and
// takes the height the panel last asked for when it is back to normal.
void MainProgram::setPanelHeight(bool open) {
    panelOpen_ = open;
    panelHeightPending_ = true;
    applyPanelHeight();
}

void MainProgram::applyPanelHeight() {
    if (!panelHeightPending_ || isMaximized() || isMinimized() || isFullScreen())
        return;
    panelHeightPending_ = false;
    const int frame = frameGeometry().height() - geometry().height();
    const int panelBottom = txtEmailList->geometry().bottom() + 1;
    const int outer = panelOpen_
                          ? std::max(px(6435), frame + menuBar()->sizeHint().height() + panelBottom)
                          : px(5490);
    resize(width(), outer - frame);
}

// Back in the normal state, the window manager first gives the window the size it had before
// (only then is its width right), and the panel's height goes on top of that; with no new size
// (as after a minimize) it goes on after a moment.
void MainProgram::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && panelHeightPending_)
        QTimer::singleShot(250, this, [this] { applyPanelHeight(); });
}

void MainProgram::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    if (panelHeightPending_)
        QTimer::singleShot(0, this, [this] { applyPanelHeight(); });
}

void MainProgram::openPanel() {
    setPanelHeight(true);
    txtEmailList->show();
    cmdSendList->show();
    cmdDone->show();
    cmdClearEmailList->show();
    Line2->show();
    cmdAddAll->show();
}

void MainProgram::EmailList_Click() {
    txtEmailList->SetText(QString());
    openPanel();
}

void MainProgram::cmdAddToList_Click() {
    openPanel();
    QString list = txtEmailList->Text();
    appendToSendList(list, txtUpdateEmail->Text());
    txtEmailList->SetText(list);
}

void MainProgram::cmdAddAll_Click() {
    // A fresh connection and record set take the place of the contact record set's.
    contactsDb_ = data::OpenDatabase(data::schema::FileName);
    contacts_ = contactsDb_->OpenRecordset(data::schema::Addresses, data::dbOpenDynaset);
    if (!contacts_->Eof())
        contacts_->MoveFirst();
    // Built up here and put in the box once: the same text as a rewrite per record, without
    // rewriting a growing text for every contact.
    QString list = txtEmailList->Text();
    while (!contacts_->Eof()) {
        const data::Value email = contacts_->Fields(data::schema::Email);
        appendToSendList(list, email.isNull() ? QString() : email.toText());
        contacts_->MoveNext();
    }
    txtEmailList->SetText(list);
    contacts_->MoveLast();
}

void MainProgram::cmdClearEmailList_Click() { txtEmailList->SetText(QString()); }

void MainProgram::cmdSendList_Click() { send(s_, txtEmailList->Text()); }

void MainProgram::cmdDone_Click() {
    setPanelHeight(false);
    txtEmailList->hide();
    cmdSendList->hide();
    cmdClearEmailList->hide();
    Line2->hide();
    txtEmailList->SetText(QString());
    cmdAddAll->hide();
    cmdDone->hide();
}

} // namespace quillbox::windows
