// quillbox-grab-window: saves what an X window shows as a PNG through Qt's own screen grab, so
// that tools/make-screenshots.sh needs no image tools besides the build.
//
// usage: quillbox-grab-window WINDOW-ID OUTPUT.png     (on the xcb platform, with DISPLAY set)

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    bool ok = false;
    const WId window = args.size() == 3 ? args[1].toULongLong(&ok, 0) : 0;
    if (!ok) {
        QTextStream(stderr) << "usage: quillbox-grab-window WINDOW-ID OUTPUT.png\n";
        return 2;
    }
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(window);
    if (shot.isNull() || !shot.save(args[2], "PNG")) {
        QTextStream(stderr) << "quillbox-grab-window: cannot grab window " << args[1] << " into "
                            << args[2] << '\n';
        return 1;
    }
    return 0;
}
