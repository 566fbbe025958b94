#include "windows/ProgramIcon.h"

#include <QImageReader>

namespace quillbox::windows {

QIcon programIcon() {
    // Decoded once. Kept for the life of the process rather than destroyed with the statics,
    // which would outlive the application object its pixmaps need.
    static const QIcon* const icon = [] {
        auto* icon = new QIcon;
        icon->addFile(QStringLiteral(":/icons/quillbox-16.xpm"), QSize(16, 16));
        icon->addFile(QStringLiteral(":/icons/quillbox-32.xpm"), QSize(32, 32));
        // Drawn at each larger size: added as a file, the SVG is read once at its own 32 pixels
        // and blown up from there on high-resolution screens.
        for (int side : {48, 64, 96, 128}) {
            QImageReader svg(QStringLiteral(":/icons/quillbox.svg"));
            svg.setScaledSize(QSize(side, side));
            if (const QImage image = svg.read(); !image.isNull())
                icon->addPixmap(QPixmap::fromImage(image));
        }
        return icon;
    }();
    return *icon;
}

} // namespace quillbox::windows
