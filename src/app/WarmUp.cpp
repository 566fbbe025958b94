#include "WarmUp.h"

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

StartupWarmUp::StartupWarmUp() : fonts_(startThread([] { FcInit(); })) {}

void StartupWarmUp::applicationMade() {
    if (!images_.joinable())
        images_ = startThread([] { QImageReader::supportedImageFormats(); });
    join(fonts_);
}

StartupWarmUp::~StartupWarmUp() {
    join(fonts_);
    join(images_);
}

} // namespace quillbox::app
