#pragma once

#include "desktop/MessageBoxService.h"

#include <QMessageBox>

#include <memory>

class QWidget;

namespace quillbox::desktop {

class QtMessageBoxService : public MessageBoxService {
public:
    int MsgBox(const QString& prompt, int style, const QString& title) override;

    // The box MsgBox shows, configured but not shown: kept apart so it can be checked headless.
    static std::unique_ptr<QMessageBox> build(const QString& prompt, int style,
                                              const QString& title, QWidget* parent);
    // The classic answer for the button that closed the box.
    static int answerFor(int clicked);
};

} // namespace quillbox::desktop
