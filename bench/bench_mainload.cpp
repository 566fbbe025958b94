// bench_mainload: what the main window's load step costs (two connections, the walk over every
// contact and the sorted fill of the list), against the floor of one plain query plus the sort
// the list needs; what Update of one contact costs on the loaded window; and how much memory the
// loaded window holds, each peak in a process of its own.

#include "Support.h"

#include "data/Connection.h"
#include "data/EngineError.h"
#include "data/ListOrder.h"
#include "data/Schema.h"
#include "data/Sqlite.h"
#include "support/FakeServices.h"
#include "windows/common/ListBox.h"
#include "windows/common/TextBox.h"
#include "windows/main/MainProgram.h"

#include <QApplication>
#include <QCollator>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numeric>
#include <vector>

namespace {

using namespace quillbox;
using bench::median;
using bench::peakResidentKiB;
using data::EngineError;
using windows::ListBox;
using windows::MainProgram;

const QString childOption = QStringLiteral("child-load");

// The tests' recording fakes: nothing is shown, ended or put in the tray. Any box means the
// load step failed, which would make its time meaningless.
struct QuietServices : test::FakeServices {
    void load(MainProgram& window) {
        errors.guard([&] { window.Form_Load(); });
        if (!boxes.calls.empty())
            throw EngineError(-1, QStringLiteral("the load step failed: ") +
                                      boxes.calls.front().prompt);
    }
};

// What a load produced, for checking that both sides did the same work.
struct Seen {
    std::vector<QString> names; // in list order
    std::int64_t numbers = 0;
};

// The floor reads the records in the order the load step walks them, that of the record
// numbers. Without the ORDER BY, SQLite answers from the covering name index instead: a smaller
// b-tree, and names that come almost sorted, which spares the sort most of its work.
const char* const recordOrder = "SELECT Number, Name FROM Addresses ORDER BY Number";
const char* const indexOrder = "SELECT Number, Name FROM Addresses";

// The floor: the file opened, every Number and Name read with one query, each name made a
// QString, and the names sorted as the list sorts them (a sort key each, then a stable sort).
Seen floorLoad(const QString& file, const char* sql) {
    std::vector<QString> names;
    Seen seen;
    {
        data::Connection c(file, data::Access::ReadWrite);
        data::sqlite::Statement s(c.handle(), sql);
        while (s.step()) {
            seen.numbers += static_cast<std::int32_t>(s.int64(0));
            names.push_back(s.qtext(1));
        }
    }
    const std::vector<size_t> order =
        data::listOrder(names.size(), [&names](size_t i) -> const QString& { return names[i]; });
    seen.names.reserve(names.size());
    for (const size_t i : order)
        seen.names.push_back(std::move(names[i]));
    return seen;
}

// One round of the load step in the current folder; only Form_Load is timed. The window is
// settled before and destroyed after, outside the clock.
double timeLoad(QuietServices& services, Seen* seen = nullptr) {
    auto window = std::make_unique<MainProgram>(services.services);
    QCoreApplication::processEvents();
    const double time = bench::timeMs([&] { services.load(*window); });
    if (seen) {
        const auto* list = window->findChild<ListBox*>(QStringLiteral("lstRecords"));
        seen->names.clear();
        seen->numbers = 0;
        for (int i = 0; i < list->ListCount(); ++i) {
            seen->names.push_back(list->List(i));
            seen->numbers += list->ItemData(i);
        }
    }
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return time;
}

double timeFloor(const QString& file, const char* sql, Seen* seen = nullptr) {
    Seen s;
    const double time = bench::timeMs([&] { s = floorLoad(file, sql); });
    if (seen)
        *seen = std::move(s);
    return time;
}

// With `sameOrder`, both met the names in the same order, so even names that compare equal
// must come out alike; otherwise those may come out in either order.
bool sameList(const Seen& a, const Seen& b, const QCollator& collator, bool sameOrder) {
    if (a.names.size() != b.names.size() || a.numbers != b.numbers)
        return false;
    for (size_t i = 0; i < a.names.size(); ++i)
        if (a.names[i] != b.names[i] &&
            (sameOrder || collator.compare(a.names[i], b.names[i]) != 0))
            return false;
    return true;
}

// The UTF-16 names plus a 4-byte number each: what the list cannot do with less.
std::int64_t rawNamesBytes(const QString& file) {
    std::int64_t bytes = 0;
    data::Connection c(file, data::Access::ReadWrite);
    data::sqlite::Statement s(c.handle(), "SELECT Name FROM Addresses");
    while (s.step())
        bytes += sqlite3_column_bytes16(s.handle(), 0) + 4;
    return bytes;
}

// The child's side of a memory measurement: the window loaded from `folder`, its events run,
// then "peak-KiB entries" on standard output.
int childLoad(const QString& folder) {
    if (!QDir::setCurrent(folder)) {
        std::fprintf(stderr, "bench_mainload: no folder %s\n", qPrintable(folder));
        return 1;
    }
    QuietServices services;
    MainProgram window(services.services);
    services.load(window);
    QCoreApplication::processEvents();
    const auto* list = window.findChild<ListBox*>(QStringLiteral("lstRecords"));
    std::printf("%ld %d\n", peakResidentKiB(), list->ListCount());
    return 0;
}

// Update of one contact on a loaded window, its name changed so that its entry moves: the median
// of `rounds`, on a copy of the sample (which stays as it was made).
double timeUpdate(const QString& sample, int rounds) {
    QTemporaryDir folder;
    if (!QFile::copy(sample, QDir(folder.path()).filePath(data::schema::FileName)) ||
        !QDir::setCurrent(folder.path()))
        throw EngineError(-1, QStringLiteral("cannot copy %1").arg(sample));
    QuietServices services;
    auto window = std::make_unique<MainProgram>(services.services);
    services.load(*window);
    auto* list = window->findChild<ListBox*>(QStringLiteral("lstRecords"));
    auto* name = window->findChild<windows::LineBox*>(QStringLiteral("txtUpdateName"));
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        list->SetListIndex(static_cast<int>((r * 7919) % list->ListCount()));
        window->lstRecords_Click();
        name->SetText(QStringLiteral("Moved, Person %1").arg(r));
        times.push_back(bench::timeMs([&] { window->cmdUpdate_Click(); }));
    }
    if (!services.boxes.calls.empty())
        throw EngineError(-1, QStringLiteral("Update refused: ") + services.boxes.calls.front().prompt);
    return median(times);
}

struct Peak {
    long kib = 0;
    std::int64_t entries = 0;
};

Peak measurePeak(const QString& folder) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(), {QLatin1String("--") + childOption, folder});
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw EngineError(-1, QStringLiteral("the measuring process failed on %1").arg(folder));
    const QList<QByteArray> fields = p.readAllStandardOutput().simplified().split(' ');
    Peak peak;
    bool ok = fields.size() == 2;
    if (ok)
        peak.kib = fields[0].toLong(&ok);
    if (ok)
        peak.entries = fields[1].toLongLong(&ok);
    if (!ok)
        throw EngineError(-1, QStringLiteral("the measuring process said nothing readable"));
    return peak;
}

struct Size {
    std::int64_t contacts;
    QString file;
    QString folder; // holding it as senha.scc
};

} // namespace

int main(int argc, char* argv[]) {
    // The tables stay in order with the children's messages when the output is a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times the main window's load step against one plain SQL query plus the "
                       "sort of the names, prints the medians, then the peak memory of the "
                       "loaded window."));
    parser.addHelpOption();
    const bench::SampleOptions options(
        parser, QStringLiteral("The quillbox-db that makes the sample files."), 7,
        {1'000, 100'000, 1'000'000});
    const QCommandLineOption largeRounds(
        QStringLiteral("large-rounds"),
        QStringLiteral("Timed rounds from 1000000 contacts up (default 3)."), QStringLiteral("N"),
        QStringLiteral("3"));
    QCommandLineOption child(childOption, QStringLiteral("Measures one load (internal)."),
                             QStringLiteral("FOLDER"));
    child.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({largeRounds, child});
    parser.process(app);

    if (parser.isSet(child)) {
        try {
            return childLoad(parser.value(child));
        } catch (const EngineError& e) {
            std::fprintf(stderr, "bench_mainload: %s\n", qPrintable(e.description()));
            return 1;
        }
    }

    const std::vector<std::int64_t> counts = options.sizes();
    const int roundCount = options.rounds();
    bool okLarge = false;
    const int largeRoundCount = parser.value(largeRounds).toInt(&okLarge);
    if (!okLarge || largeRoundCount < 1)
        parser.showHelp(2);

    const QString home = QDir::currentPath();
    try {
        const QString folder = options.folder();
        std::vector<Size> sizes;
        for (std::int64_t n : counts) {
            const QString file = bench::sampleFile(folder, options.tool(), n);
            sizes.push_back({n, file, bench::stage(folder, file, n)});
        }
        const QString emptyFile = bench::sampleFile(folder, options.tool(), 0);
        const QString emptyFolder = bench::stage(folder, emptyFile, 0);

        const QCollator collator = data::listCollator();
        std::printf("\nmedians of %d rounds (%d from 1000000 contacts up), after a warm-up, "
                    "the three in turn; collation %s, case-insensitive\n",
                    roundCount, largeRoundCount, qPrintable(collator.locale().name()));
        std::printf("(L) MainProgram::Form_Load with senha.scc: tray icon, two connections, the "
                    "walk, the sorted fill of lstRecords\n");
        std::printf("(F) open, %s on the SQLite C API (the records in the walk's order), each "
                    "name made a QString, sorted as the list sorts\n",
                    recordOrder);
        std::printf("(I) (F) without the ORDER BY, for comparison: SQLite scans the name index, "
                    "the names come almost sorted\n\n");
        std::printf("%10s %12s %12s %10s %12s %10s\n", "contacts", "(L) ms", "(F) ms", "L/F",
                    "(I) ms", "L/I");
        double ratioAt100k = -1;
        bool agree = true;
        QuietServices services;
        for (const Size& size : sizes) {
            if (!QDir::setCurrent(size.folder))
                throw EngineError(-1, QStringLiteral("cannot enter %1").arg(size.folder));
            const int n = size.contacts >= 1'000'000 ? largeRoundCount : roundCount;
            enum { Load, Floor, Index };
            std::vector<double> times[3];
            Seen seen[3];
            // Round -1 warms up; the last round keeps what each made, for the check.
            for (int r = -1; r < n; ++r) {
                const bool last = r + 1 == n;
                // Rotating which goes first evens out what one leaves in the caches.
                for (int k = 0; k < 3; ++k) {
                    const int which = (r + 1 + k) % 3;
                    Seen* keep = last ? &seen[which] : nullptr;
                    const double t =
                        which == Load
                            ? timeLoad(services, keep)
                            : timeFloor(size.file, which == Floor ? recordOrder : indexOrder, keep);
                    if (r >= 0)
                        times[which].push_back(t);
                }
            }
            QDir::setCurrent(home);
            const bool same = sameList(seen[Load], seen[Floor], collator, true) &&
                              sameList(seen[Load], seen[Index], collator, false) &&
                              static_cast<std::int64_t>(seen[Load].names.size()) == size.contacts;
            agree = agree && same;
            const double ml = median(times[Load]), mf = median(times[Floor]),
                         mi = median(times[Index]);
            const double ratio = mf > 0 ? ml / mf : 0;
            if (size.contacts == 100'000)
                ratioAt100k = ratio;
            std::printf("%10lld %12.2f %12.2f %10.2f %12.2f %10.2f%s\n",
                        static_cast<long long>(size.contacts), ml, mf, ratio, mi,
                        mi > 0 ? ml / mi : 0, same ? "" : "   lists differ");
        }
        std::printf("\ngoal: L/F at most 1.50 at 100000 contacts");
        if (ratioAt100k >= 0)
            std::printf(" -- %s (%.2f)", ratioAt100k <= 1.5 ? "met" : "NOT met", ratioAt100k);
        std::printf("\n");

        std::printf("\n(U) Update of one contact on the loaded window, its name changed so that "
                    "its entry moves (median of %d)\n\n%10s %12s\n", roundCount * 3, "contacts",
                    "(U) ms");
        double updateAt100k = -1;
        for (const Size& size : sizes) {
            const double mu = timeUpdate(size.file, roundCount * 3);
            QDir::setCurrent(home);
            if (size.contacts == 100'000)
                updateAt100k = mu;
            std::printf("%10lld %12.2f\n", static_cast<long long>(size.contacts), mu);
        }
        std::printf("\ngoal: (U) under 5 ms at 100000 contacts");
        if (updateAt100k >= 0)
            std::printf(" -- %s (%.2f)", updateAt100k < 5 ? "met" : "NOT met", updateAt100k);
        std::printf("\n");

        const Peak empty = measurePeak(emptyFolder);
        std::printf("\npeak resident memory of the window, constructed, loaded and its events "
                    "run, each in a process of its own\n");
        std::printf("raw names: the names as UTF-16 plus 4 bytes of number each\n\n");
        std::printf("%10s %12s %12s %14s %12s %18s\n", "contacts", "file KiB", "peak KiB",
                    "raw names KiB", "growth/raw", "peak/(empty+raw)");
        std::printf("%10d %12lld %12ld %14s %12s %18s   (the empty window)\n", 0,
                    static_cast<long long>(QFileInfo(emptyFile).size() / 1024), empty.kib, "-", "-",
                    "-");
        double memoryAt100k = -1;
        for (const Size& size : sizes) {
            const Peak loaded = measurePeak(size.folder);
            agree = agree && loaded.entries == size.contacts;
            const double raw = static_cast<double>(rawNamesBytes(size.file)) / 1024.0;
            const double ratio = static_cast<double>(loaded.kib) / (empty.kib + raw);
            const double growth = raw > 0 ? (loaded.kib - empty.kib) / raw : 0;
            if (size.contacts == 100'000)
                memoryAt100k = ratio;
            std::printf("%10lld %12lld %12ld %14.0f %12.2f %18.2f\n",
                        static_cast<long long>(size.contacts),
                        static_cast<long long>(QFileInfo(size.file).size() / 1024), loaded.kib, raw,
                        growth, ratio);
        }
        std::printf("\ngoal: peak/(empty+raw) at most 3.00 at 100000 contacts");
        if (memoryAt100k >= 0)
            std::printf(" -- %s (%.2f)", memoryAt100k <= 3 ? "met" : "NOT met", memoryAt100k);
        std::printf("\n");
        if (!agree) {
            std::fprintf(stderr, "bench_mainload: the window's list and the floor's disagree\n");
            return 1;
        }
    } catch (const EngineError& e) {
        QDir::setCurrent(home);
        std::fprintf(stderr, "bench_mainload: %s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
