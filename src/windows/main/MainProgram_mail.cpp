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

namespace quillbox::windows {

namespace {

const QString MailTo = QStringLiteral("mailto:");

// The opener gets the request as one program argument, and Linux refuses to start a program
// with an argument of 32 pages or more (MAX_ARG_STRLEN, 128 KiB with the closing NUL): a start
// that fails says nothing, so the size is checked before.
bool fitsOneArgument(const QString& request) {
    constexpr qsizetype maxArgumentBytes = 32 * 4096;
    return request.toUtf8().size() < maxArgumentBytes;
}

} // namespace

void MainProgram::cmdSend_Click() { s_.mail.open(MailTo + txtUpdateEmail->Text()); }

// An address joins the list after ", " unless the list holds nothing at all; the address itself
// is taken as it is, empty or repeated.
void MainProgram::appendToSendList(QString& list, const QString& address) const {
    if (!list.isEmpty())
        list += QLatin1String(", ");
    list += address;
}

// Sets the window's outer height, frame and title bar included. A maximized or minimized window
// keeps its size: only the panel's controls come and go.
void MainProgram::setOuterHeight(int pixels) {
    if (isMaximized() || isMinimized() || isFullScreen())
        return;
    const int frame = frameGeometry().height() - geometry().height();
    resize(width(), pixels - frame);
}

void MainProgram::openPanel() {
    // 6435 twips, unless this platform's title bar and menu bar are too tall for the panel to
    // show whole in that: then just tall enough.
    const int panelBottom = txtEmailList->geometry().bottom() + 1;
    const int frame = frameGeometry().height() - geometry().height();
    setOuterHeight(std::max(px(6435), frame + menuBar()->sizeHint().height() + panelBottom));
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

void MainProgram::cmdSendList_Click() {
    const QString request = MailTo + txtEmailList->Text();
    if (!fitsOneArgument(request)) {
        s_.boxes.MsgBox(QStringLiteral("The send list is too long to send in one e-mail!"),
                        platform::MessageBoxService::StyleExclamation, QStringLiteral("Oops!"));
        return;
    }
    s_.mail.open(request);
}

void MainProgram::cmdDone_Click() {
    setOuterHeight(px(5490));
    txtEmailList->hide();
    cmdSendList->hide();
    cmdClearEmailList->hide();
    Line2->hide();
    txtEmailList->SetText(QString());
    cmdAddAll->hide();
    cmdDone->hide();
}

} // namespace quillbox::windows
