#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <vector>

namespace quillbox::bench {

// The sample file of `contacts` contacts in `folder` ("contacts-N.scc"), made with `tool`
// (quillbox-db, seed 1) when missing and kept for later runs, so that every benchmark times
// the same files. Throws data::EngineError when the tool fails.
QString sampleFile(const QString& folder, const QString& tool, std::int64_t contacts);

// The sample file as "senha.scc" in a folder of its own under `dataFolder` ("load-N"), which is
// returned: the program opens the file by that bare name. A hard link where the file system
// allows it, else a copy.
QString stage(const QString& dataFolder, const QString& sample, std::int64_t contacts);

// The middle of the times, or the mean of the two middle ones; 0 for none.
double median(std::vector<double> times);

// The milliseconds `f` takes.
template <typename F> double timeMs(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The peak resident memory in KiB of the process `pid`, this one by default. From VmHWM, which
// starts afresh with the process image: ru_maxrss would carry over the parent's peak from before
// the exec.
long peakResidentKiB(long pid = 0);

} // namespace quillbox::bench
