#include "windows/ProgramIcon.h"

#include "quillbox-icon-128.h"
#include "quillbox-icon-16.h"
#include "quillbox-icon-32.h"
#include "quillbox-icon-48.h"
#include "quillbox-icon-64.h"
#include "quillbox-icon-96.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <utility>

namespace quillbox::windows {

namespace {

// Smallest first.
constexpr std::pair<int, const std::uint32_t*> drawn[] = {
    {16, quillboxIcon16}, {32, quillboxIcon32}, {48, quillboxIcon48},
    {64, quillboxIcon64}, {96, quillboxIcon96}, {128, quillboxIcon128}};

// Made once, at the given drawn sizes. Kept for the life of the process rather than destroyed
// with the statics, which would outlive the application object its pixmaps need.
const QIcon* makeIcon(const QList<int>& sides) {
    auto* icon = new QIcon;
    for (const auto& [side, pixels] : drawn)
        if (sides.contains(side))
            icon->addPixmap(QPixmap::fromImage(QImage(reinterpret_cast<const uchar*>(pixels), side,
                                                      side, QImage::Format_ARGB32_Premultiplied)));
    return icon;
}

} // namespace

QList<int> windowIconSizes(qreal devicePixelRatio) {
    QList<int> sizes;
    for (const int logical : {16, 32, 48}) {
        const int wanted = static_cast<int>(std::ceil(logical * std::max(devicePixelRatio, 1.0)));
        int side = std::end(drawn)[-1].first;
        for (const auto& d : drawn)
            if (d.first >= wanted) {
                side = d.first;
                break;
            }
        if (!sizes.contains(side))
            sizes.append(side);
    }
    return sizes;
}

QIcon programIcon() {
    static const QIcon* const icon = [] {
        QList<int> every;
        for (const auto& d : drawn)
            every.append(d.first);
        return makeIcon(every);
    }();
    return *icon;
}

QIcon programWindowIcon() {
    static const QIcon* const icon = [] {
        qreal ratio = 1;
        for (const QScreen* screen : QGuiApplication::screens())
            ratio = std::max(ratio, screen->devicePixelRatio());
        return makeIcon(windowIconSizes(ratio));
    }();
    return *icon;
}

} // namespace quillbox::windows
