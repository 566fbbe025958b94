#pragma once

class QDialog;

namespace quillbox::desktop {

// Shows a window modally: returns once the window has been hidden or closed, the windows
// behind it taking no input meanwhile.
class ModalDialogs {
public:
    virtual ~ModalDialogs() = default;
    virtual void run(QDialog& dialog) = 0;
};

class QtModalDialogs : public ModalDialogs {
public:
    void run(QDialog& dialog) override;
};

} // namespace quillbox::desktop
