// bench_idle: what the running program costs while nothing happens. Quillbox is started on a file
// of 100,000 contacts (offscreen, so that no display is needed), left to settle, then its own
// CPU time (user and system, from /proc) is read over a minute of rest, and again over a minute
// in which another program commits a change every ten seconds, which the window follows.

#include "Support.h"

#include "data/Connection.h"
#include "data/EngineError.h"
#include "data/Sqlite.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <thread>

#include <unistd.h>

namespace {

using namespace quillbox;
using data::EngineError;

// The process's user and system time so far, in clock ticks; -1 once it has ended.
long long cpuTicks(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The command name, in parentheses, may hold blanks: the fields are counted after it.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return fields[11].toLongLong() + fields[12].toLongLong(); // utime, stime
}

// Waits until the process has used no CPU for a whole second (its load step done).
void settle(qint64 pid) {
    long long last = -2;
    for (int i = 0; i < 120; ++i) {
        const long long now = cpuTicks(pid);
        if (now < 0)
            throw EngineError(-1, QStringLiteral("quillbox ended while starting"));
        if (now == last)
            return;
        last = now;
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    throw EngineError(-1, QStringLiteral("quillbox never came to rest"));
}

// The share of one core the process used over `seconds`, in per cent; `during` runs each second.
template <class F> double cpuPercent(qint64 pid, int seconds, F during) {
    const long long before = cpuTicks(pid);
    const auto start = std::chrono::steady_clock::now();
    for (int s = 1; s <= seconds; ++s) {
        during(s);
        std::this_thread::sleep_until(start + std::chrono::seconds(s));
    }
    const long long after = cpuTicks(pid);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (before < 0 || after < 0)
        throw EngineError(-1, QStringLiteral("quillbox ended while measured"));
    return 100.0 * static_cast<double>(after - before) / static_cast<double>(sysconf(_SC_CLK_TCK)) /
           elapsed;
}

} // namespace

int main(int argc, char* argv[]) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Measures the CPU the running program uses at rest, and while another "
                       "program changes its file now and then."));
    parser.addHelpOption();
    const bench::SampleOptions options(
        parser, QStringLiteral("The quillbox-db that makes the sample files."), 1, {100'000});
    const QCommandLineOption seconds(QStringLiteral("seconds"),
                                     QStringLiteral("Length of each measurement (default 60)."),
                                     QStringLiteral("S"), QStringLiteral("60"));
    parser.addOption(seconds);
    parser.process(app);
    const int length = parser.value(seconds).toInt();
    if (length < 1)
        parser.showHelp(2);

    try {
        const QString folder = options.folder();
        std::printf("\nthe running program's CPU time over %d s, as a share of one core\n\n",
                    length);
        std::printf("%10s %14s %22s\n", "contacts", "at rest %", "a commit each 10 s %");
        for (const std::int64_t n : options.sizes()) {
            const QString sample = bench::sampleFile(folder, options.tool(), n);
            // A copy of its own: the changes below must not reach the shared sample.
            QTemporaryDir scratch;
            const QString at = scratch.path();
            if (!QFile::copy(sample, QDir(at).filePath(QStringLiteral("senha.scc"))))
                throw EngineError(-1, QStringLiteral("cannot copy %1").arg(sample));
            QProcess program;
            program.setWorkingDirectory(at);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            program.setProcessEnvironment(env);
            program.setProcessChannelMode(QProcess::ForwardedChannels);
            program.start(QStringLiteral(QUILLBOX_PROGRAM), {});
            if (!program.waitForStarted())
                throw EngineError(-1, QStringLiteral("quillbox did not start"));
            settle(program.processId());
            const double rest = cpuPercent(program.processId(), length, [](int) {});
            data::Connection other(QDir(at).filePath(QStringLiteral("senha.scc")),
                                   data::Access::ReadWrite);
            const double changing = cpuPercent(program.processId(), length, [&](int s) {
                if (s % 10 == 0)
                    data::sqlite::exec(other.handle(),
                                       "UPDATE Addresses SET Phone = Phone || '1' WHERE Number = "
                                       "(SELECT min(Number) FROM Addresses)");
            });
            program.kill();
            program.waitForFinished();
            std::printf("%10lld %14.3f %22.3f\n", static_cast<long long>(n), rest, changing);
            if (n == 100'000)
                std::printf("\ngoal: under 0.1%% at rest -- %s (%.3f%%)\n",
                            rest < 0.1 ? "met" : "NOT met", rest);
        }
    } catch (const EngineError& e) {
        std::fprintf(stderr, "bench_idle: %s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
