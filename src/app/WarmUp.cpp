#include "WarmUp.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImageReader>

#include <fontconfig/fontconfig.h>

#include <system_error>

namespace quillbox::app {

namespace {

// A thread running `f`, or none where none can be had: the work is then left to its first user.
template <typename F> std::thread startThread(F f) {
    try {
        return std::thread(std::move(f));
    } catch (const std::system_error&) {
        return {};
    }
}

void join(std::thread& t) {
    if (t.joinable())
        t.join();
}

} // namespace

StartupWarmUp::StartupWarmUp() : configuration_(startThread([] { FcInit(); })) {}

void StartupWarmUp::applicationMade() {
    join(configuration_);
    if (!caches_.joinable())
        caches_ = startThread([] {
            // A first measure of text fills Qt's shared font tables (its font engines are kept
            // per thread, so the window still loads its own).
            QFontMetricsF(QGuiApplication::font()).horizontalAdvance(QStringLiteral("Quillbox"));
            QImageReader::supportedImageFormats();
        });
}

StartupWarmUp::~StartupWarmUp() {
    join(configuration_);
    join(caches_);
}

} // namespace quillbox::app
