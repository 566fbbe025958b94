#pragma once

// The moves a user makes on the main window (WindowDriver), shared by the window tests and the
// reliability drivers; and the window tests' fixture: a fresh "senha.scc" in the working folder,
// the fakes, and the window loaded on them as the login window loads it.

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

class WindowDriver {
public:
    windows::MainProgram* w = nullptr;

    windows::ListBox* list() const { return w->findChild<windows::ListBox*>("lstRecords"); }
    QString text(const char* box) const {
        if (auto* line = w->findChild<windows::LineBox*>(box))
            return line->Text();
        return w->findChild<windows::MultiLineBox*>(box)->Text();
    }
    void type(const char* box, const QString& t) const {
        if (auto* line = w->findChild<windows::LineBox*>(box))
            line->SetText(t);
        else
            w->findChild<windows::MultiLineBox*>(box)->SetText(t);
    }
    void press(const char* button) const {
        QTest::mouseClick(w->findChild<QPushButton*>(button), Qt::LeftButton);
    }
    void menu(const char* item) const { w->findChild<QAction*>(item)->trigger(); }
    // Types a person into the Add New boxes and presses "Add New".
    void add(const QString& name, const QString& phone = {}, const QString& email = {},
             const QString& address = {}) const {
        type("txtName", name);
        type("txtPhone", phone);
        type("txtEmail", email);
        type("txtAddress", address);
        press("cmdNew");
    }
    // The row of the nth entry with this text, or -1.
    int rowOf(const QString& name, int nth = 0) const {
        for (int i = 0; i < list()->ListCount(); ++i)
            if (list()->List(i) == name && nth-- == 0)
                return i;
        return -1;
    }
    // Clicks an entry as a user would; a row of -1 clicks nothing.
    void choose(int row) const {
        if (row < 0)
            return;
        const QModelIndex index = list()->model()->index(row, 0);
        list()->scrollTo(index);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                          list()->visualRect(index).center());
    }
    void choose(const QString& name, int nth = 0) const { choose(rowOf(name, nth)); }
    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < list()->ListCount(); ++i)
            names << list()->List(i);
        return names;
    }
};

class MainWindowFixture : public WindowDriver {
protected:
    std::unique_ptr<ScratchDatabase> file_;
    std::unique_ptr<FakeServices> fakes_;
    std::unique_ptr<windows::MainProgram> window_;

    void setUp() { // for init()
        file_ = std::make_unique<ScratchDatabase>();
        QVERIFY(QDir::setCurrent(file_->folder()));
        fakes_ = std::make_unique<FakeServices>();
    }
    void tearDown() { // for cleanup()
        window_.reset();
        fakes_.reset();
        QDir::setCurrent(QDir::tempPath());
        file_.reset();
    }
    void load() {
        window_ = std::make_unique<windows::MainProgram>(fakes_->services);
        w = window_.get();
        fakes_->errors.guard([this] { window_->Form_Load(); });
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    QString lastPrompt() const {
        return fakes_->boxes.calls.empty() ? QString() : fakes_->boxes.calls.back().prompt;
    }
};

} // namespace quillbox::test
