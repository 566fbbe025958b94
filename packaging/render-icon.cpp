// quillbox-render-icon: writes the program icon at one size: a PNG for icon themes, or a C++
// header of its pixels for the program to compile in. Run at build time, so that neither needs
// committing nor tools outside Qt.
//
// usage: quillbox-render-icon INPUT SIZE OUTPUT.png|OUTPUT.h
//
// A bitmap INPUT (the XPMs) must already be SIZE pixels: it is never scaled, since the small
// icons are drawn pixel by pixel. A vector INPUT (the SVG) is drawn at SIZE.

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTextStream>

namespace {

int fail(const QString& message) {
    QTextStream(stderr) << "quillbox-render-icon: " << message << '\n';
    return 1;
}

// The pixels as QImage::Format_ARGB32_Premultiplied holds them, one 32-bit value each, row by row,
// in an array named quillboxIcon<SIZE>.
int writeHeader(const QImage& drawn, int size, const QString& output) {
    const QImage image = drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QFile file(output);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(QStringLiteral("cannot write %1").arg(output));
    QTextStream out(&file);
    out << "// Made by quillbox-render-icon: " << size << "x" << size
        << " pixels, ARGB32 premultiplied.\n#pragma once\n\n#include <cstdint>\n\n"
        << "inline constexpr std::uint32_t quillboxIcon" << size << "[] = {\n";
    for (int y = 0; y < size; ++y) {
        const auto* row = reinterpret_cast<const quint32*>(image.constScanLine(y));
        for (int x = 0; x < size; ++x)
            out << "0x" << QString::number(row[x], 16) << (x % 8 == 7 ? ",\n" : ", ");
    }
    out << "};\n";
    out.flush();
    return file.error() == QFileDevice::NoError ? 0
                                                : fail(QStringLiteral("cannot write %1").arg(output));
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
    if (args[3].endsWith(QLatin1String(".h")))
        return writeHeader(image, size, args[3]);
    image = image.convertToFormat(QImage::Format_ARGB32);
    if (!image.save(args[3], "PNG"))
        return fail(QStringLiteral("cannot write %1").arg(args[3]));
    return 0;
}
