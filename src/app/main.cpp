#include "Version.h"
#include "platform/Clipboard.h"
#include "platform/EngineErrorReporter.h"
#include "platform/ModalDialogs.h"
#include "platform/ProcessPrivacy.h"
#include "platform/QtMessageBoxService.h"
#include "shell/DesktopMail.h"
#include "tray/QtTrayIcon.h"
#include "windows/login/frmLogin.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    using namespace quillbox;

    // Before there is anything to protect; a failure leaves the program as it always was.
    platform::keepMemoryPrivate();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbox"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLBOX_VERSION));
    // Lets Wayland desktops match the windows to the installed menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quillbox.Quillbox"));
    // The program ends only by its own exits; a hidden main window is not the last one closed.
    QApplication::setQuitOnLastWindowClosed(false);

    platform::QtMessageBoxService boxes;
    platform::QtProgramEnd end;
    platform::EngineErrorReporter errors(boxes, end);
    tray::QtTrayIcon tray;
    platform::QtClipboard clipboard;
    platform::QtModalDialogs dialogs;
    shell::DesktopMail mail;
    windows::Services services{boxes, end, errors, tray, clipboard, dialogs, mail};

    windows::frmLogin login(services);
    errors.guard([&] { login.Form_Load(); });
    return app.exec();
}
