// bench_walk: what a full walk of the contacts costs through the record-set layer, against the
// floor of one plain query on the SQLite C API over the same file.

#include "Support.h"

#include "data/Database.h"
#include "data/Recordset.h"
#include "data/Schema.h"
#include "data/Sqlite.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using namespace quillbox;
using namespace quillbox::data;

// What a walk saw. Both walks agree on rows and numbers; the text checks differ (bytes of UTF-8
// against UTF-16 units) and are printed only so that no read can be optimised away.
struct Walk {
    std::int64_t rows = 0;
    std::int64_t numbers = 0;
    std::uint64_t text = 0;
};

// Times `f`, keeping what it saw.
template <typename F> double timeWalk(F&& f, Walk& seen) {
    return bench::timeMs([&] { seen = f(); });
}

// With `toQString`, each name also becomes the QString the windows need: the part of the
// layer's cost that no layer can avoid, shown for comparison.
Walk walkSql(Connection& db, bool toQString = false) {
    Walk w;
    sqlite::Statement s(db.handle(), "SELECT Number, Name FROM Addresses");
    while (s.step()) {
        const std::string_view name = s.text(1);
        ++w.rows;
        w.numbers += static_cast<std::int32_t>(s.int64(0));
        if (toQString) {
            const QString n = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
            w.text += static_cast<std::uint64_t>(n.size());
        } else {
            w.text += static_cast<std::uint64_t>(name.size()) * 31u +
                      (name.empty() ? 0u : static_cast<unsigned char>(name.back()));
        }
    }
    return w;
}

Walk walkRecordset(Database& db) {
    const QString &addresses = schema::Addresses, &name = schema::Name, &number = schema::Number;
    Walk w;
    auto rs = db.OpenRecordset(addresses, dbOpenDynaset);
    rs->MoveFirst();
    while (!rs->Eof()) {
        const QString n = rs->Fields(name).toText();
        const std::int32_t k = rs->Fields(number).toInt32();
        ++w.rows;
        w.numbers += k;
        w.text +=
            static_cast<std::uint64_t>(n.size()) * 31u + (n.isEmpty() ? 0u : n.back().unicode());
        rs->MoveNext();
    }
    return w;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times a walk over every contact (Number and Name) through the record "
                       "set against one plain SQL query, and prints the medians."));
    parser.addHelpOption();
    const quillbox::bench::SampleOptions options(
        parser, QStringLiteral("The quillbox-db that makes the sample files."), 9,
        {1'000, 100'000, 1'000'000});
    parser.process(app);
    const std::vector<std::int64_t> sizes = options.sizes();
    const int roundCount = options.rounds();

    try {
        std::vector<QString> files;
        for (std::int64_t n : sizes)
            files.push_back(quillbox::bench::sampleFile(options.folder(), options.tool(), n));

        std::printf("\nmedians of %d rounds, after a warm-up, the two walks alternating\n",
                    roundCount);
        std::printf("(a) SELECT Number, Name FROM Addresses on the SQLite C API, prepare to "
                    "finalize\n");
        std::printf("(b) OpenRecordset, MoveFirst, Fields(\"Name\").toText(), "
                    "Fields(\"Number\").toInt32(), MoveNext until Eof\n");
        std::printf("(q) (a), each name also made a QString, for comparison\n\n");
        std::printf("%10s %12s %12s %10s %12s %10s %22s\n", "contacts", "(a) ms", "(b) ms", "b/a",
                    "(q) ms", "b/q", "checks (a) / (b)");
        double ratioAt100k = -1;
        bool agree = true;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            Connection raw(files[i], Access::ReadWrite);
            auto db = OpenDatabase(files[i]);

            Walk a, b, q;
            timeWalk([&] { return walkSql(raw); }, a);
            timeWalk([&] { return walkRecordset(*db); }, b);
            std::vector<double> ta, tb, tq;
            for (int r = 0; r < roundCount; ++r) {
                // Alternating which goes first evens out what one leaves in the caches.
                if (r % 2 == 0) {
                    ta.push_back(timeWalk([&] { return walkSql(raw); }, a));
                    tb.push_back(timeWalk([&] { return walkRecordset(*db); }, b));
                } else {
                    tb.push_back(timeWalk([&] { return walkRecordset(*db); }, b));
                    ta.push_back(timeWalk([&] { return walkSql(raw); }, a));
                }
                tq.push_back(timeWalk([&] { return walkSql(raw, true); }, q));
            }
            db.reset();

            agree = agree && a.rows == b.rows && a.numbers == b.numbers && a.rows == sizes[i];
            const double ma = bench::median(ta), mb = bench::median(tb), mq = bench::median(tq);
            const double ratio = ma > 0 ? mb / ma : 0;
            if (sizes[i] == 100'000)
                ratioAt100k = ratio;
            std::printf("%10lld %12.2f %12.2f %10.2f %12.2f %10.2f %10llx / %llx\n",
                        static_cast<long long>(sizes[i]), ma, mb, ratio, mq, mq > 0 ? mb / mq : 0,
                        static_cast<unsigned long long>(a.text & 0xffffff),
                        static_cast<unsigned long long>(b.text & 0xffffff));
        }
        std::printf("\ngoal: b/a at most 1.50 at 100000 contacts");
        if (ratioAt100k >= 0)
            std::printf(" -- %s (%.2f)", ratioAt100k <= 1.5 ? "met" : "NOT met", ratioAt100k);
        std::printf("\npeak resident memory: %.0f MiB\n",
                    static_cast<double>(bench::peakResidentKiB()) / 1024.0);
        if (!agree) {
            std::fprintf(stderr, "bench_walk: the two walks disagree on the records seen\n");
            return 1;
        }
    } catch (const EngineError& e) {
        std::fprintf(stderr, "bench_walk: %s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
