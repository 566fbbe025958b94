#pragma once

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;

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

// The options of the benchmarks over sample files: --data (the folder of the sample files),
// --tool (the quillbox-db that makes them), --rounds, and, where `defaultSizes` is not empty, the
// numbers of contacts as arguments. Made before parser.process(), read after it; a value that is
// not a positive number (a size may be 0) ends the benchmark with its usage.
class SampleOptions {
public:
    SampleOptions(QCommandLineParser& parser, const QString& toolText, int defaultRounds,
                  std::vector<std::int64_t> defaultSizes = {});
    QString folder() const; // made if missing
    QString tool() const;
    int rounds() const;
    std::vector<std::int64_t> sizes() const;

private:
    QCommandLineParser& parser_;
    QCommandLineOption data_, tool_, rounds_;
    std::vector<std::int64_t> defaultSizes_;
};

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

// The machine's load averages over 1, 5 and 15 minutes, as /proc/loadavg gives them.
QString loadAverage();

} // namespace quillbox::bench
