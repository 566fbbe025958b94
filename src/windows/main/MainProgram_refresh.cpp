// Following the file while the window is open: what the sync, an import or another copy of the
// program commits shows in the list without the user doing anything, and nothing the user is
// doing is disturbed by it.

#include "windows/main/MainProgram.h"

#include "data/Database.h"
#include "data/FileWatch.h"
#include "data/MainLoad.h"
#include "data/Recordset.h"
#include "data/Schema.h"
#include "windows/change_password/Change.h"
#include "windows/common/ListBox.h"

#include <QApplication>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QTimer>

#include <algorithm>

namespace quillbox::windows {

namespace {

using namespace data::schema;

using Box = desktop::MessageBoxService;

} // namespace

void MainProgram::startWatching(const data::FileWatch::Mark& seen) {
    watch_ = new data::FileWatch(contactsDb_, this);
    watch_->seen(seen);
    connect(watch_, &data::FileWatch::noticed, this, guarded(this, &MainProgram::fileNoticed));
    retry_ = new QTimer(this);
    retry_->setSingleShot(true);
    connect(retry_, &QTimer::timeout, this, guarded(this, &MainProgram::fileNoticed));
    // A commit made before the watch began brings no notice of its own.
    if (watch_->othersCommitted())
        retry_->start(0);
}

void MainProgram::retryLater() {
    retryMs_ = std::clamp(retryMs_ * 2, 50, 1000);
    retry_->start(retryMs_);
}

void MainProgram::fileNoticed() {
    const bool replaced = watch_->replaced();
    // Mostly noise: another file of the folder, or our own commit.
    if (!replaced && !watch_->othersCommitted())
        return;
    // A handler waits in a box, a window or a menu, or a refresh in its own box: nothing they
    // hold changes under them. Read once they are done.
    if (refreshing_ || QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        retryLater();
        return;
    }
    if (!replaced)
        refreshList();
    else if (QFileInfo::exists(FileName))
        followReplacedFile();
    // A file removed and not yet put back: the old one is still shown, and a write through it
    // fails with the message for a replaced file. The folder's notice brings the new one.
}

// A backup put back while the program runs is followed: everything is opened anew on the file
// that now bears the name, as the load step opens it, and the list read from it as any refresh.
// Until it can be read, the old file stays shown, and a write through it fails with the message
// for a replaced file.
void MainProgram::followReplacedFile() {
    data::MainWindowFile file;
    if (data::readWithoutWaiting(nullptr, [&] { file = data::loadMainWindow(FileName); }) !=
        data::Attempt::Done)
        return; // not whole yet: its next change is heard
    settingsDb_ = std::move(file.settingsDb);
    settings_ = std::move(file.settings);
    contactsDb_ = std::move(file.contactsDb);
    contacts_ = std::move(file.contacts);
    change_.reset(); // its connection is to the old file; the next showing opens the new one
    watch_->watch(contactsDb_);
    refreshList();
}

void MainProgram::refreshList() {
    const QScopedValueRollback guard(refreshing_, true);
    const data::FileWatch::Mark mark = watch_->mark();
    const int index = lstRecords->ListIndex();
    const qint32 chosen = index < 0 ? 0 : lstRecords->ItemData(index);
    const QString chosenName = index < 0 ? QString() : lstRecords->List(index);
    // The boxes follow the chosen contact only while they hold what was read for it.
    const bool boxesFollow = index >= 0 && shown_ && shown_->number == chosen && boxesHold(*shown_);

    data::NameList list;
    std::optional<Shown> fresh;
    // A writer still in its transaction holds the file: we come back when its commit or its
    // lock's end is noticed, never waiting for it here nor telling the user.
    const data::Attempt read = data::readWithoutWaiting(contactsDb_.get(), [&] {
        std::unique_ptr<data::Recordset> set = contactsDb_->OpenRecordset(Addresses);
        if (boxesFollow) {
            set->FindFirst(Number, data::Value(chosen));
            if (!set->NoMatch())
                fresh = readShown(*set, chosen);
        }
        set->MoveFirst();
        list = data::readListFrom(*set);
    });
    // A file another program is still copying over ours is read once its next change is heard.
    if (read != data::Attempt::Done) {
        if (read == data::Attempt::Busy)
            retryLater();
        return;
    }
    retryMs_ = 0;
    watch_->seen(mark);

    bool chosenStays = index < 0;
    for (std::size_t i = 0; !chosenStays && i < list.size(); ++i)
        chosenStays = list.number(i) == chosen;
    // Only the entries that changed move; the chosen contact stays chosen by its record number,
    // and the entry at the top stays at the top.
    lstRecords->Merge(std::move(list));
    emit listRefreshed();
    if (!chosenStays) {
        // What the user typed stays in the boxes, and Update and Delete have nobody to act on.
        NoPersonChosen = 1;
        shown_.reset();
        s_.boxes.MsgBox(QStringLiteral("\"%1\" was deleted from the Quillbox by another program. "
                                       "What was typed for this person is left in the boxes.")
                            .arg(chosenName),
                        Box::StyleExclamation, QStringLiteral("Person Deleted"));
    } else if (fresh && *fresh != *shown_) {
        showContact(std::move(*fresh));
    }
}

} // namespace quillbox::windows
