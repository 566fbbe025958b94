#pragma once

#include "data/MainLoad.h"
#include "windows/Services.h"

#include <QDialog>

#include <future>
#include <memory>

class QLabel;
class QPushButton;

namespace quillbox::data {
class Database;
class Recordset;
} // namespace quillbox::data

namespace quillbox::windows {

class LineBox;
class MainProgram;

// The start-up window. Its load step reads the protection flag and either asks for the password
// or goes straight on to the main window; either way it stays loaded, hidden, with its
// connection and settings record set open until the program ends. Its controls exist once the
// load step has asked for the password.
class frmLogin : public QDialog {
    Q_OBJECT

public:
    // `early`, where given, is the main window's file read while the program started: the main
    // window takes it when the program goes straight on. After a password, which may be typed
    // long after, the file is read afresh.
    explicit frmLogin(Services& services, std::future<data::MainWindowFile> early = {});
    ~frmLogin() override;

    void Form_Load();
    void cmdOK_Click();
    void cmdCancel_Click();

    Services& services() { return s_; }
    MainProgram* mainProgram() const { return main_.get(); }

protected:
    void reject() override;                 // Esc
    void closeEvent(QCloseEvent* e) override; // the close box

private:
    void buildControls();
    void showMainProgram(std::future<data::MainWindowFile> file);

    Services& s_;
    QLabel* lblLabels = nullptr;
    LineBox* txtPassword = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    std::shared_ptr<data::Database> db_;
    std::unique_ptr<data::Recordset> settings_;
    std::unique_ptr<MainProgram> main_;
    std::future<data::MainWindowFile> early_;
};

} // namespace quillbox::windows
