// quillbox-render-icon: writes one PNG of the program icon at the size an icon theme asks for.
// Run at build time, so that the PNGs need neither committing nor tools outside Qt.
//
// usage: quillbox-render-icon INPUT SIZE OUTPUT.png
//
// A bitmap INPUT (the XPMs) must already be SIZE pixels: it is never scaled, since the small
// icons are drawn pixel by pixel. A vector INPUT (the SVG) is drawn at SIZE.

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QTextStream>

namespace {

int fail(const QString& message) {
    QTextStream(stderr) << "quillbox-render-icon: " << message << '\n';
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4)
        return fail(QStringLiteral("usage: quillbox-render-icon INPUT SIZE OUTPUT.png"));
    const QString input = args[1];
    bool ok = false;
    const int size = args[2].toInt(&ok);
    if (!ok || size <= 0)
        return fail(QStringLiteral("SIZE must be a positive whole number, not '%1'").arg(args[2]));

    QImageReader reader(input);
    const QByteArray format = reader.format();
    if (format.isEmpty()) {
        if (input.endsWith(QLatin1String(".svg")))
            return fail(QStringLiteral("cannot read %1: Qt's SVG image plugin is missing "
                                       "(Debian package libqt6svg6)")
                            .arg(input));
        return fail(QStringLiteral("cannot read %1: %2").arg(input, reader.errorString()));
    }
    const bool vector = format == "svg" || format == "svgz";
    if (vector)
        reader.setScaledSize(QSize(size, size));

    QImage image;
    if (!reader.read(&image))
        return fail(QStringLiteral("cannot read %1: %2").arg(input, reader.errorString()));
    if (image.size() != QSize(size, size))
        return fail(QStringLiteral("%1 is %2x%3 pixels, not %4x%4")
                        .arg(input)
                        .arg(image.width())
                        .arg(image.height())
                        .arg(size));
    image = image.convertToFormat(QImage::Format_ARGB32);
    if (!image.save(args[3], "PNG"))
        return fail(QStringLiteral("cannot write %1").arg(args[3]));
    return 0;
}
