#pragma once

#include "platform/Clipboard.h"
#include "platform/EngineErrorReporter.h"
#include "platform/MessageBoxService.h"
#include "platform/ModalDialogs.h"
#include "platform/ProgramEnd.h"
#include "shell/MailHandOver.h"
#include "tray/modTrayIcon.h"

namespace quillbox::windows {

// The platform services the windows' handlers touch, each behind an interface so that tests
// put recording fakes in their place.
struct Services {
    platform::MessageBoxService& boxes;
    platform::ProgramEnd& end;
    platform::EngineErrorReporter& errors;
    tray::TrayIcon& tray;
    platform::Clipboard& clipboard;
    platform::ModalDialogs& dialogs;
    shell::MailHandOver& mail;
};

// Wraps a handler for a signal connection: an engine error it raises goes to the one
// engine-error path instead of through Qt's event loop.
template <class Window> auto guarded(Window* w, void (Window::*handler)()) {
    return [w, handler] { w->services().errors.guard([w, handler] { (w->*handler)(); }); };
}

} // namespace quillbox::windows
