#pragma once

#include "windows/Services.h"

#include <QDialog>

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
    explicit frmLogin(Services& services);
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
    void showMainProgram();

    Services& s_;
    QLabel* lblLabels = nullptr;
    LineBox* txtPassword = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    std::shared_ptr<data::Database> db_;
    std::unique_ptr<data::Recordset> settings_;
    std::unique_ptr<MainProgram> main_;
};

} // namespace quillbox::windows
