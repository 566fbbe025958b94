#pragma once

#include "desktop/MessageBoxService.h"

namespace quillbox::desktop {

class QtMessageBoxService : public MessageBoxService {
public:
    int MsgBox(const QString& prompt, int style, const QString& title) override;
};

} // namespace quillbox::desktop
