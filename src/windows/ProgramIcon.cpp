#include "windows/ProgramIcon.h"

#include <QImageReader>

namespace quillbox::windows {

QIcon programIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/quillbox-16.xpm"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/quillbox-32.xpm"), QSize(32, 32));
    if (QImageReader::supportedImageFormats().contains("svg"))
        icon.addFile(QStringLiteral(":/icons/quillbox.svg"));
    return icon;
}

} // namespace quillbox::windows
