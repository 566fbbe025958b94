#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdint>

namespace quillbox::tools {

// A progress bar on stderr for work that takes a while: shown only when stderr is a terminal
// and the work has gone on for half a second, redrawn at most ten times a second, and wiped
// when the work ends, so short runs and redirected output never see it.
class Progress {
public:
    Progress(QString what, std::int64_t total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void advance(std::int64_t done) {
        if (enabled_ && (done & 0x3ff) == 0)
            draw(done);
    }
    // For work that advances in large steps.
    void update(std::int64_t done) {
        if (enabled_)
            draw(done);
    }
    void setTotal(std::int64_t total) { total_ = total; }
    // Wipes the bar, if shown, and shows it no more: before anything else goes to the terminal.
    void finish();

private:
    void draw(std::int64_t done);

    QString what_;
    std::int64_t total_;
    bool enabled_;
    bool shown_ = false;
    QElapsedTimer timer_;
    std::int64_t lastDrawMs_ = 0;
};

} // namespace quillbox::tools
