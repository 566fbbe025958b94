#pragma once

#include "data/MainLoad.h"
#include "windows/Services.h"

#include <QMainWindow>

#include <future>
#include <memory>
#include <optional>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;

class QTimer;

namespace quillbox::data {
class Database;
class FileWatch;
class Recordset;
} // namespace quillbox::data

namespace quillbox::windows {

class Change;
class LineBox;
class ListBox;
class MultiLineBox;

// The window in which the user works with the contacts. Created once by the login window and
// never discarded: every way out of it ends the whole program.
//
// Its handlers are spread over files by concern: MainProgram_contacts.cpp (the load step and the
// contacts), MainProgram_mail.cpp (sending and the send list), MainProgram_password.cpp,
// MainProgram_help.cpp, MainProgram_tray.cpp (the notification icon, hiding and exit),
// MainProgram_refresh.cpp (following what other programs write to the file).
class MainProgram : public QMainWindow {
    Q_OBJECT

public:
    explicit MainProgram(Services& services);
    ~MainProgram() override;

    Services& services() { return s_; }

    // Reads the file here, after the tray icon is added.
    void Form_Load();
    // Takes the load step's result, read meanwhile (data::loadMainWindowMeanwhile).
    void Form_Load(std::future<data::MainWindowFile> file);
    void lstRecords_Click();
    void cmdNew_Click();
    void cmdUpdate_Click();
    void cmdDelete_Click();
    void cmdClear1_Click();
    void cmdClear_Click();
    void cmdCopyEmail_Click();
    void cmdCopyPhone_Click();
    void cmdCopyAddress_Click();
    // The e-mail panel and sending.
    void cmdSend_Click();
    void EmailList_Click();
    void cmdAddToList_Click();
    void cmdAddAll_Click();
    void cmdClearEmailList_Click();
    void cmdSendList_Click();
    void cmdDone_Click();
    // Password protection.
    void PasswordProtect_Click();
    void RemovePassword_Click();
    void ChangePassword_Click();
    // Help.
    void Add_Click();
    void Update_Click();
    void Delete_Click();
    void PasswordOff_Click();
    void PasswordOn_Click();
    void SendEmail_Click();
    void SendToSeveral_Click();
    void AddEverybody_Click();
    void HowChange_Click();
    void AOLdefault_Click();
    void About_Click();
    // The tray reports its mouse events here, as message numbers (modTrayIcon.h).
    void Form_MouseMove(int message);
    void Form_QueryUnload();
    void Hide_Click();
    void Exit_Click();
    void Command1_Click();
    void DeleteTrayIcon();

    // Whether a person counts as chosen: ListClicks is 1 until the first choice in the list
    // since the window loaded; NoPersonChosen is 1 after an addition or deletion, until the next
    // choice.
    float ListClicks = 0;
    float NoPersonChosen = 0;

signals:
    // The list was read again from the file after another program changed it (whether or not
    // anything the list shows had changed).
    void listRefreshed();

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // A contact as the Update boxes were last filled with it from the file. While the boxes
    // still hold exactly this, they hold no edits of the user's.
    struct Shown {
        qint32 number = 0;
        QString name, email, phone, address;
        bool operator==(const Shown&) const = default;
    };
    static Shown readShown(data::Recordset& contacts, qint32 number);
    void showContact(Shown contact);
    bool boxesHold(const Shown& contact) const;

    // Following the file (MainProgram_refresh.cpp).
    void startWatching(const data::FileWatch::Mark& seen);
    void fileNoticed();
    void refreshList();
    void followReplacedFile();
    void retryLater();

    void buildControls();
    void buildMenus();
    bool findSelectedContact();
    void forgetStaleEntry(int index);
    void copyBox(QWidget* box, const QString& text);
    void openPanel();
    void setPanelHeight(bool open);
    void applyPanelHeight();
    void appendToSendList(QString& list, const QString& address) const;
    void showChange();
    void connectHandler(QPushButton* button, void (MainProgram::*handler)());
    void connectHandler(QAction* item, void (MainProgram::*handler)());

    Services& s_;

    // Add New column.
    QPushButton* cmdNew;
    QLabel *Label1, *Label3, *Label5, *Label7;
    LineBox *txtName, *txtEmail, *txtPhone;
    MultiLineBox* txtAddress;
    QPushButton* cmdClear1;
    // Update column.
    QPushButton* cmdUpdate;
    QLabel *Label2, *Label4, *Label6, *Label8;
    LineBox *txtUpdateName, *txtUpdateEmail, *txtUpdatePhone;
    MultiLineBox* txtUpdateAddress;
    QPushButton *cmdCopyEmail, *cmdSend, *cmdAddToList, *cmdCopyPhone, *cmdCopyAddress;
    QPushButton* cmdClear;
    // Contact list column.
    QLabel* Label9;
    ListBox* lstRecords;
    QPushButton *cmdDelete, *Command1;
    // E-mail panel, hidden until the send list is opened.
    QFrame* Line2;
    MultiLineBox* txtEmailList;
    QPushButton *cmdSendList, *cmdClearEmailList, *cmdAddAll, *cmdDone;
    // Other controls.
    QFrame* Line1;
    QLabel* imgIcon;

    // Menus.
    QMenu *File, *Options, *Help, *HowTo;
    QAction *Hide, *RemovePassword, *PasswordProtect, *ChangePassword, *EmailList, *Exit;
    QAction *Add, *Update, *Delete, *PasswordOff, *PasswordOn, *SendEmail, *SendToSeveral,
        *AddEverybody, *HowChange, *AOLdefault, *About;

    // Connection A with the settings record set; connection B with the contact record set.
    std::shared_ptr<data::Database> settingsDb_;
    std::unique_ptr<data::Recordset> settings_;
    std::shared_ptr<data::Database> contactsDb_;
    std::unique_ptr<data::Recordset> contacts_;

    data::FileWatch* watch_ = nullptr;
    // Armed only while a change waits to be read: behind another program's lock, or behind a
    // box or menu a handler waits in. Each wait is twice the last, up to a second.
    QTimer* retry_ = nullptr;
    int retryMs_ = 0;
    bool refreshing_ = false;
    std::optional<Shown> shown_;

    // The tray's last event and the guard against re-entry while one is acted on (the pop-up
    // menu runs a nested event loop in which the tray can report again).
    std::unique_ptr<Change> change_;

    int trayMessage = 0;
    bool trayBusy = false;
    bool shownBefore_ = false;
    // The panel's state as its height goes, and whether the window has yet to take that height.
    bool panelOpen_ = false;
    bool panelHeightPending_ = false;
};

} // namespace quillbox::windows
