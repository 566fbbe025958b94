#pragma once

// What the main window's tests share: a fresh database as "senha.scc" in the working folder,
// the fakes, and the window loaded on them, with the moves a user makes on it.

#include "support/FakeServices.h"
#include "support/ScratchDatabase.h"
#include "windows/common/ListBox.h"
#include "windows/common/TextBox.h"
#include "windows/main/MainProgram.h"

#include <QAction>
#include <QDir>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace quillbox::test {

class MainWindowFixture {
protected:
    std::unique_ptr<ScratchDatabase> file_;
    std::unique_ptr<FakeServices> fakes_;
    std::unique_ptr<windows::MainProgram> window_;

    // For init(): a new database, the current folder, new fakes.
    void setUp() {
        file_ = std::make_unique<ScratchDatabase>();
        QVERIFY(QDir::setCurrent(file_->folder()));
        fakes_ = std::make_unique<FakeServices>();
    }
    // For cleanup().
    void tearDown() {
        window_.reset();
        fakes_.reset();
        QDir::setCurrent(QDir::tempPath());
        file_.reset();
    }
    // Creates the window, runs its load step and shows it, as the login window does.
    void load() {
        window_ = std::make_unique<windows::MainProgram>(fakes_->services);
        fakes_->errors.guard([this] { window_->Form_Load(); });
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

    windows::ListBox* list() { return window_->findChild<windows::ListBox*>("lstRecords"); }
    QString text(const char* box) {
        if (auto* line = window_->findChild<windows::LineBox*>(box))
            return line->Text();
        return window_->findChild<windows::MultiLineBox*>(box)->Text();
    }
    void type(const char* box, const QString& t) {
        if (auto* line = window_->findChild<windows::LineBox*>(box))
            line->SetText(t);
        else
            window_->findChild<windows::MultiLineBox*>(box)->SetText(t);
    }
    void press(const char* button) {
        QTest::mouseClick(window_->findChild<QPushButton*>(button), Qt::LeftButton);
    }
    // Types a person into the Add New boxes and presses "Add New".
    void add(const QString& name, const QString& phone = {}, const QString& email = {},
             const QString& address = {}) {
        type("txtName", name);
        type("txtPhone", phone);
        type("txtEmail", email);
        type("txtAddress", address);
        press("cmdNew");
    }
    void menu(const char* item) { window_->findChild<QAction*>(item)->trigger(); }
    // The row of the nth entry with this text, or -1.
    int rowOf(const QString& name, int nth = 0) {
        for (int i = 0; i < list()->ListCount(); ++i)
            if (list()->List(i) == name && nth-- == 0)
                return i;
        return -1;
    }
    // Clicks an entry as a user would.
    void choose(int row) {
        const QModelIndex index = list()->model()->index(row, 0);
        list()->scrollTo(index);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                          list()->visualRect(index).center());
    }
    void choose(const QString& name, int nth = 0) {
        const int row = rowOf(name, nth);
        QVERIFY2(row >= 0, qPrintable(name));
        choose(row);
    }
    QString lastPrompt() {
        return fakes_->boxes.calls.empty() ? QString() : fakes_->boxes.calls.back().prompt;
    }
};

} // namespace quillbox::test
