#include "Version.h"
#include "WarmUp.h"
#include "data/MainLoad.h"
#include "data/Schema.h"
#include "desktop/Clipboard.h"
#include "desktop/DesktopMail.h"
#include "desktop/EngineErrorReporter.h"
#include "desktop/ModalDialogs.h"
#include "desktop/QtMessageBoxService.h"
#include "desktop/QtTrayIcon.h"
#include "os/ProcessPrivacy.h"
#include "windows/DeferredIcons.h"
#include "windows/login/frmLogin.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    using namespace quillbox;

    // Before there is anything to protect; a failure leaves the program as it always was.
    os::keepMemoryPrivate();
    app::StartupWarmUp warmUp;
    // The main window's file is read on a thread of its own while the application reaches the
    // display and the window is built.
    auto file = data::loadMainWindowMeanwhile(data::schema::FileName);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbox"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLBOX_VERSION));
    // Lets Wayland desktops match the windows to the installed menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quillbox.Quillbox"));
    // The program ends only by its own exits; a hidden main window is not the last one closed.
    QApplication::setQuitOnLastWindowClosed(false);
    // The desktop's style, its standard icons read only when first drawn.
    QApplication::setStyle(new windows::DeferredIconStyle);

    desktop::QtMessageBoxService boxes;
    desktop::QtProgramEnd end;
    desktop::EngineErrorReporter errors(boxes, end);
    desktop::QtTrayIcon tray;
    tray.askMeanwhile();
    desktop::QtClipboard clipboard;
    desktop::QtModalDialogs dialogs;
    desktop::DesktopMail mail;
    windows::Services services{boxes, end, errors, tray, clipboard, dialogs, mail};

    warmUp.applicationMade();
    windows::frmLogin login(services, std::move(file));
    errors.guard([&] { login.Form_Load(); });
    return app.exec();
}
