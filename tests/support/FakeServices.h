#pragma once

// Recording fakes of every platform service a window touches, wired as the program wires the
// real ones: nothing is shown, started or ended for real.

#include "desktop/QtTrayIcon.h"
#include "windows/Services.h"

#include <QDialog>
#include <QMenu>

#include <deque>
#include <functional>
#include <vector>

namespace quillbox::test {

// Records every box and answers from a queue: with none queued, OK, or No to a Yes/No question.
class FakeMessageBoxes : public desktop::MessageBoxService {
public:
    struct Call {
        QString prompt;
        int style;
        QString title;
    };
    int MsgBox(const QString& prompt, int style, const QString& title) override {
        calls.push_back({prompt, style, title});
        if (answers_.empty())
            return (style & 0x0F) == ButtonsYesNo ? AnswerNo : AnswerOk;
        const int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    void answerNext(int answer) { answers_.push_back(answer); }
    std::vector<Call> calls;

private:
    std::deque<int> answers_;
};

// Records the status instead of ending; the code under test carries on after it.
struct FakeProgramEnd : desktop::ProgramEnd {
    void end(int status) override { statuses.push_back(status); }
    std::vector<int> statuses;
};

struct FakeClipboard : desktop::Clipboard {
    void setText(const QString& text) override { texts.push_back(text); }
    std::vector<QString> texts;
};

struct FakeMail : desktop::MailHandOver {
    void open(const QString& request) override { requests.push_back(request); }
    std::vector<QString> requests;
};

// Shows each modal window and plays the user's part from a queue of scripts; a window the script
// leaves open is closed by its close box, as a user who gives up would.
class FakeDialogs : public desktop::ModalDialogs {
public:
    using Script = std::function<void(QDialog&)>;
    void run(QDialog& dialog) override {
        shown.push_back(dialog.objectName());
        dialog.setResult(0);
        dialog.show();
        if (!scripts_.empty()) {
            Script script = std::move(scripts_.front());
            scripts_.pop_front();
            script(dialog);
        }
        if (dialog.isVisible())
            dialog.close();
    }
    void then(Script script) { scripts_.push_back(std::move(script)); }
    std::vector<QString> shown;

private:
    std::deque<Script> scripts_;
};

// Records what the window does with its icon; activate() plays the user's mouse as the Qt tray
// of `kind` reports it.
class FakeTray : public desktop::TrayIcon {
public:
    void add(const QIcon& icon, const QString& tip, std::function<void(int)> onMessage) override {
        ++added;
        this->tip = tip;
        iconSizes = icon.availableSizes();
        handler_ = std::move(onMessage);
    }
    void remove() override { ++removed; }
    bool available() const override { return hasArea; }
    void popUp(QMenu& menu) override {
        popUps.push_back(menu.objectName());
        if (whilePoppedUp) // as the events of the menu's own event loop would
            whilePoppedUp(menu);
    }
    void activate(QSystemTrayIcon::ActivationReason why) {
        if (const int message = desktop::QtTrayIcon::messageFor(kind, why); message && handler_)
            handler_(message);
    }
    int added = 0, removed = 0;
    QString tip;
    QList<QSize> iconSizes;
    bool hasArea = true;
    desktop::QtTrayIcon::Kind kind = desktop::QtTrayIcon::Kind::XEmbed;
    std::vector<QString> popUps;
    std::function<void(QMenu&)> whilePoppedUp;

private:
    std::function<void(int)> handler_;
};

struct FakeServices {
    FakeMessageBoxes boxes;
    FakeProgramEnd end;
    FakeTray tray;
    FakeClipboard clipboard;
    FakeDialogs dialogs;
    FakeMail mail;
    desktop::EngineErrorReporter errors{boxes, end};
    windows::Services services{boxes, end, errors, tray, clipboard, dialogs, mail};
};

} // namespace quillbox::test
