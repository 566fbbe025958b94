#pragma once

#include "desktop/Clipboard.h"
#include "desktop/EngineErrorReporter.h"
#include "desktop/MailHandOver.h"
#include "desktop/MessageBoxService.h"
#include "desktop/ModalDialogs.h"
#include "desktop/ProgramEnd.h"
#include "desktop/modTrayIcon.h"

namespace quillbox::windows {

// The platform services the windows' handlers touch, each behind an interface so that tests
// put recording fakes in their place.
struct Services {
    desktop::MessageBoxService& boxes;
    desktop::ProgramEnd& end;
    desktop::EngineErrorReporter& errors;
    desktop::TrayIcon& tray;
    desktop::Clipboard& clipboard;
    desktop::ModalDialogs& dialogs;
    desktop::MailHandOver& mail;
};

// Wraps a handler for a signal connection: an engine error it raises goes to the one
// engine-error path instead of through Qt's event loop.
template <class Window> auto guarded(Window* w, void (Window::*handler)()) {
    return [w, handler] { w->services().errors.guard([w, handler] { (w->*handler)(); }); };
}

} // namespace quillbox::windows
