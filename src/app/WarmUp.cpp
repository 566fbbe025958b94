#include "WarmUp.h"

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

void StartupWarmUp::applicationMade() { join(configuration_); }

StartupWarmUp::~StartupWarmUp() { join(configuration_); }

} // namespace quillbox::app
