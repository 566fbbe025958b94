// bench_startup: Quillbox's start-up as a user meets it, from exec to the main window mapped on
// an X server, against the floor program (startup_floor) doing the same work in the plainest way.
// Beside them runs the plain window (P): the floor with Quillbox's menus and controls made from
// stock widgets, for what such a screen costs in Qt itself. All run on a private Xvfb, in turn,
// on the same files; the moment of mapping is the X server's MapNotify, seen by this process, so
// no program is changed or slowed to be measured.
// With --callgrind, each also runs once under valgrind's callgrind, to the same moment, for
// instruction counts that the machine's load does not blur.

#include "Support.h"

#include "data/EngineError.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace quillbox;
using data::EngineError;
using Clock = std::chrono::steady_clock;
using bench::median;

// Starts `argv` in `folder` with `env`; returns its process id.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const QString& folder) {
    std::vector<char*> args, vars;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& v : env)
        vars.push_back(const_cast<char*>(v.c_str()));
    vars.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray dir = QFile::encodeName(folder);
    posix_spawn_file_actions_addchdir_np(&actions, dir.constData());
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), vars.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw EngineError(rc, QStringLiteral("cannot start %1").arg(args[0]));
    return pid;
}

// A private X server with no window manager, and a connection that hears of every top-level
// window mapped on it.
class XServer {
public:
    XServer() {
        int fds[2];
        if (pipe(fds) != 0)
            throw EngineError(errno, QStringLiteral("no pipe for Xvfb"));
        // Xvfb picks a free display and writes its number to the pipe once it takes clients. It
        // ends when its last client leaves, should this process die without ending it.
        pid_ = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24",
                      "-nolisten", "tcp", "-terminate"},
                     currentEnvironment(), QDir::currentPath());
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty())
            throw EngineError(-1, QStringLiteral("Xvfb did not start (is it installed?)"));
        display_ = ":" + number;
        x_ = xcb_connect(display_.c_str(), nullptr);
        if (xcb_connection_has_error(x_))
            throw EngineError(-1, QStringLiteral("cannot reach Xvfb"));
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x_)).data->root;
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(x_, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(x_);
    }
    ~XServer() {
        xcb_disconnect(x_);
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // The environment for a program shown on this server.
    std::vector<std::string> environment() const {
        std::vector<std::string> env;
        for (const std::string& v : currentEnvironment())
            if (v.rfind("DISPLAY=", 0) != 0 && v.rfind("QT_QPA_PLATFORM=", 0) != 0 &&
                v.rfind("WAYLAND_DISPLAY=", 0) != 0)
                env.push_back(v);
        env.push_back("DISPLAY=" + display_);
        env.push_back("QT_QPA_PLATFORM=xcb");
        if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
            env.push_back("XDG_RUNTIME_DIR=" + QFile::encodeName(runtime_.path()).toStdString());
        return env;
    }

    // Waits until `child` maps a top-level window: the moment, or nothing if it ends first.
    std::optional<Clock::time_point> waitForMap(pid_t child) {
        pollfd fd{xcb_get_file_descriptor(x_), POLLIN, 0};
        for (;;) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(x_)) {
                const bool mapped =
                    (e->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                    !reinterpret_cast<xcb_map_notify_event_t*>(e)->override_redirect;
                free(e);
                if (mapped)
                    return Clock::now();
            }
            if (xcb_connection_has_error(x_))
                throw EngineError(-1, QStringLiteral("lost Xvfb"));
            if (waitpid(child, nullptr, WNOHANG) == child)
                return std::nullopt;
            poll(&fd, 1, 20);
        }
    }

    // Forgets what the last program's windows did.
    void drain() {
        xcb_aux_sync();
        while (xcb_generic_event_t* e = xcb_poll_for_event(x_))
            free(e);
    }

private:
    static std::vector<std::string> currentEnvironment() {
        std::vector<std::string> env;
        for (char** v = environ; *v; ++v)
            env.emplace_back(*v);
        return env;
    }
    void xcb_aux_sync() { free(xcb_get_input_focus_reply(x_, xcb_get_input_focus(x_), nullptr)); }

    pid_t pid_ = -1;
    std::string display_;
    QTemporaryDir runtime_; // private to this user, as Qt wants its runtime folder
    xcb_connection_t* x_ = nullptr;
};

struct Run {
    double ms = 0;
    long peakKiB = 0;
};

// Runs `argv` in `folder` until its first window is mapped, then ends it.
Run startOnce(XServer& x, const std::vector<std::string>& argv, const QString& folder) {
    x.drain();
    const auto start = Clock::now();
    const pid_t pid = spawn(argv, x.environment(), folder);
    const std::optional<Clock::time_point> mapped = x.waitForMap(pid);
    Run run;
    if (mapped) {
        run.ms = std::chrono::duration<double, std::milli>(*mapped - start).count();
        run.peakKiB = bench::peakResidentKiB(pid);
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    if (!mapped)
        throw EngineError(-1, QStringLiteral("%1 ended before showing a window in %2")
                                  .arg(QString::fromStdString(argv.back()), folder));
    return run;
}

// The total instructions of a callgrind output file.
long long instructions(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    static const QRegularExpression total(QStringLiteral("^(?:summary|totals): (\\d+)"),
                                          QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = total.match(QString::fromLatin1(f.readAll()));
    return m.hasMatch() ? m.captured(1).toLongLong() : 0;
}

} // namespace

int main(int argc, char* argv[]) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times Quillbox from exec to its main window mapped on a private Xvfb, "
                       "against the floor program doing the same work, in turn; prints the "
                       "medians, their ratio and the peak memory of each."));
    parser.addHelpOption();
    const bench::SampleOptions options(
        parser, QStringLiteral("The quillbox-db that makes the sample files."), 7,
        {0, 100'000, 1'000'000});
    const QCommandLineOption quillbox(QStringLiteral("quillbox"),
                                      QStringLiteral("The program timed."), QStringLiteral("PATH"),
                                      QStringLiteral(QUILLBOX_PROGRAM));
    const QCommandLineOption floor(QStringLiteral("floor"), QStringLiteral("The floor program."),
                                   QStringLiteral("PATH"), QStringLiteral(QUILLBOX_FLOOR));
    const QCommandLineOption callgrind(
        QStringLiteral("callgrind"),
        QStringLiteral("Also run each once under callgrind, keeping the profiles in DIR."),
        QStringLiteral("DIR"));
    parser.addOptions({quillbox, floor, callgrind});
    parser.process(app);

    const std::vector<std::int64_t> counts = options.sizes();
    const int roundCount = options.rounds();
    const std::string floorPath = QFile::encodeName(parser.value(floor)).toStdString();
    constexpr int programCount = 3;
    const std::vector<std::string> programs[programCount] = {
        {QFile::encodeName(parser.value(quillbox)).toStdString()},
        {floorPath},
        {floorPath, "--controls"}};

    try {
        const QString folder = options.folder();
        XServer x;
        std::printf("\nexec to the first window mapped on Xvfb, medians of %d rounds after a "
                    "warm-up, all in turn; load average at the start %s\n(Q) %s\n(F) %s: "
                    "open, settings, one query, QCollator::compare in std::stable_sort, "
                    "QListView\n(P) the same with Quillbox's menus and controls in stock "
                    "widgets\n\n",
                    roundCount, qPrintable(bench::loadAverage()), programs[0][0].c_str(),
                    programs[1][0].c_str());
        std::printf("%10s %10s %10s %8s %10s %8s %10s %10s\n", "contacts", "(Q) ms", "(F) ms",
                    "Q/F", "(P) ms", "Q/P", "(Q) MiB", "(F) MiB");
        struct Row {
            std::int64_t contacts;
            double ms, ratio, memoryRatio;
        };
        std::vector<Row> rows;
        for (std::int64_t n : counts) {
            const QString sample = bench::sampleFile(folder, options.tool(), n);
            const QString at = bench::stage(folder, sample, n);
            std::vector<double> ms[programCount], kib[programCount];
            for (int r = -1; r < roundCount; ++r)
                for (int k = 0; k < programCount; ++k) {
                    const int which = (r + 1 + k) % programCount; // who goes first rotates
                    const Run run = startOnce(x, programs[which], at);
                    if (r >= 0) {
                        ms[which].push_back(run.ms);
                        kib[which].push_back(static_cast<double>(run.peakKiB));
                    }
                }
            const double q = median(ms[0]), f = median(ms[1]), plain = median(ms[2]);
            const double qMiB = median(kib[0]) / 1024, fMiB = median(kib[1]) / 1024;
            rows.push_back({n, q, q / f, qMiB / fMiB});
            std::printf("%10lld %10.1f %10.1f %8.2f %10.1f %8.2f %10.1f %10.1f\n",
                        static_cast<long long>(n), q, f, q / f, plain, q / plain, qMiB, fMiB);
        }
        std::printf("\nload average at the end %s\n", qPrintable(bench::loadAverage()));
        const auto goal = [](const char* what, double value, bool met) {
            std::printf("goal: %s -- %s (%.2f)\n", what, met ? "met" : "NOT met", value);
        };
        for (const Row& r : rows) {
            if (r.contacts == 0)
                goal("Q/F at most 1.10 on a file with no contacts", r.ratio, r.ratio <= 1.10);
            if (r.contacts == 100'000)
                goal("Q/F at most 0.80 at 100000 contacts", r.ratio, r.ratio <= 0.80);
            if (r.contacts == 1'000'000) {
                goal("(Q) under 1000 ms at 1000000 contacts", r.ms, r.ms < 1000);
                goal("peak memory Q/F at most 1.2 at 1000000 contacts", r.memoryRatio,
                     r.memoryRatio <= 1.2);
            }
        }

        if (parser.isSet(callgrind)) {
            const QString out = parser.value(callgrind);
            QDir().mkpath(out);
            std::printf("\ninstructions to the window mapped, under callgrind (all threads)\n\n");
            std::printf("%10s %14s %14s %8s %14s\n", "contacts", "(Q) M", "(F) M", "Q/F",
                        "(P) M");
            for (std::int64_t n : counts) {
                const QString at =
                    bench::stage(folder, bench::sampleFile(folder, options.tool(), n), n);
                long long counted[programCount];
                for (int which = 0; which < programCount; ++which) {
                    static const char* const names[programCount] = {"quillbox", "floor", "plain"};
                    const QString file = QDir(out).absoluteFilePath(
                        QStringLiteral("callgrind.%1.%2").arg(QLatin1String(names[which])).arg(n));
                    std::vector<std::string> argv = {
                        "valgrind", "--tool=callgrind", "-q",
                        "--callgrind-out-file=" + QFile::encodeName(file).toStdString()};
                    argv.insert(argv.end(), programs[which].begin(), programs[which].end());
                    startOnce(x, argv, at);
                    counted[which] = instructions(file);
                }
                std::printf("%10lld %14.0f %14.0f %8.2f %14.0f\n", static_cast<long long>(n),
                            static_cast<double>(counted[0]) / 1e6,
                            static_cast<double>(counted[1]) / 1e6,
                            counted[1] ? static_cast<double>(counted[0]) / counted[1] : 0,
                            static_cast<double>(counted[2]) / 1e6);
            }
            std::printf("profiles in %s (callgrind_annotate FILE)\n", qPrintable(out));
        }
    } catch (const EngineError& e) {
        std::fprintf(stderr, "bench_startup: %s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
