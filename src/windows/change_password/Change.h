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

// Sets a new password. Loaded on first use; after a stored password it is only hidden (and
// its result is Accepted), keeping its connection and settings record set; closed any other
// way it is to be discarded, with nothing stored.
class Change : public QDialog {
    Q_OBJECT

public:
    explicit Change(Services& services);
    ~Change() override;

    Services& services() { return s_; }

    void Form_Load();
    void cmdOK1_Click();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    Services& s_;
    QLabel* Label1;
    LineBox* txtChangePassword;
    QPushButton* cmdOK1;

    std::shared_ptr<data::Database> db_;
    std::unique_ptr<data::Recordset> settings_;
};

} // namespace quillbox::windows
