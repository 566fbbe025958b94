#include "Progress.h"

#include <algorithm>
#include <cstdio>

#include "os/Posix.h"

namespace quillbox::tools {

namespace {
constexpr int barWidth = 30;
}

Progress::Progress(QString what, std::int64_t total) : what_(std::move(what)), total_(total) {
    enabled_ = os::stderrIsTerminal();
    timer_.start();
}

Progress::~Progress() {
    finish();
}

void Progress::finish() {
    if (shown_) {
        std::fprintf(stderr, "\r%*s\r", barWidth + 40 + static_cast<int>(what_.size()), "");
        std::fflush(stderr);
    }
    shown_ = false;
    enabled_ = false;
}

void Progress::draw(std::int64_t done) {
    const std::int64_t now = timer_.elapsed();
    if (now < 500 || (shown_ && now - lastDrawMs_ < 100) || total_ <= 0)
        return;
    lastDrawMs_ = now;
    shown_ = true;
    const std::int64_t percent = std::min<std::int64_t>(100, done * 100 / total_);
    const int filled = static_cast<int>(percent * barWidth / 100);
    std::fprintf(stderr, "\rquillbox-db: %s [%.*s%*s] %3lld%%", qPrintable(what_), filled,
                 "##############################", barWidth - filled, "",
                 static_cast<long long>(percent));
    std::fflush(stderr);
}

} // namespace quillbox::tools
