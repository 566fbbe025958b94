#include "windows/ProgramIcon.h"

#include "quillbox-icon-128.h"
#include "quillbox-icon-16.h"
#include "quillbox-icon-32.h"
#include "quillbox-icon-48.h"
#include "quillbox-icon-64.h"
#include "quillbox-icon-96.h"

#include <QImage>
#include <QPixmap>

namespace quillbox::windows {

QIcon programIcon() {
    // Made once. Kept for the life of the process rather than destroyed with the statics,
    // which would outlive the application object its pixmaps need.
    static const QIcon* const icon = [] {
        auto* icon = new QIcon;
        const std::pair<int, const std::uint32_t*> drawn[] = {
            {16, quillboxIcon16}, {32, quillboxIcon32}, {48, quillboxIcon48},
            {64, quillboxIcon64}, {96, quillboxIcon96}, {128, quillboxIcon128}};
        for (const auto& [side, pixels] : drawn)
            icon->addPixmap(QPixmap::fromImage(QImage(reinterpret_cast<const uchar*>(pixels), side,
                                                      side, QImage::Format_ARGB32_Premultiplied)));
        return icon;
    }();
    return *icon;
}

} // namespace quillbox::windows
