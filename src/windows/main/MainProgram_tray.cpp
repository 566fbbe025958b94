// The notification icon, hiding and every way out.

#include "windows/main/MainProgram.h"

#include <QCloseEvent>

namespace quillbox::windows {

void MainProgram::Form_MouseMove(int message) {
    trayMessage = message;
    if (trayBusy)
        return;
    trayBusy = true;
    if (trayMessage == desktop::WM_LBUTTONDBLCLK) {
        // A window minimized from its title bar stays so through show(); bring it back as it was.
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
        raise();
        activateWindow();
    } else if (trayMessage == desktop::WM_RBUTTONUP) {
        s_.tray.popUp(*File);
    }
    trayBusy = false;
}

void MainProgram::Hide_Click() {
    // Without a notification area nothing could bring a hidden window back; minimized, the
    // taskbar still can.
    if (s_.tray.available())
        hide();
    else
        showMinimized();
}

void MainProgram::DeleteTrayIcon() {
    s_.tray.remove();
    s_.end.end(0);
}

void MainProgram::Form_QueryUnload() { DeleteTrayIcon(); }
void MainProgram::Exit_Click() { DeleteTrayIcon(); }
void MainProgram::Command1_Click() { DeleteTrayIcon(); }

void MainProgram::closeEvent(QCloseEvent* e) {
    // Any close of this window ends the whole program; it is never merely unloaded.
    e->ignore();
    s_.errors.guard([this] { Form_QueryUnload(); });
}

} // namespace quillbox::windows
