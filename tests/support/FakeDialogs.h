#pragma once

#include "platform/ModalDialogs.h"

#include <QDialog>

#include <deque>
#include <functional>
#include <vector>

namespace quillbox::test {

// Shows each modal window and plays the user's part in it from a queue of scripts. A window the
// script leaves open is closed by its close box, as a user who gives up would.
class FakeDialogs : public platform::ModalDialogs {
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

} // namespace quillbox::test
