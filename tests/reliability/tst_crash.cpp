// Kills a writer with SIGKILL at random moments, over and over on one file, and after every kill
// checks the file against what the writer had reported done: the file is intact, every reported
// change is there, the one change in flight is there whole or not at all, and no contact is
// half-written.

#include "Stamp.h"
#include "support/ScratchDatabase.h"

#include <QProcess>
#include <QTest>

#include <sqlite3.h>

#include <chrono>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <thread>

using namespace quillbox::reliability;

namespace {

struct Line {
    bool done = false; // "op" rather than "try"
    std::int64_t op = 0;
    QString kind;
    std::int64_t number = 0;
};

std::optional<Line> parse(const QString& text) {
    const QStringList w = text.split(QLatin1Char(' '));
    if (w.size() < 3 || (w[0] != QLatin1String("try") && w[0] != QLatin1String("op")))
        return std::nullopt;
    Line l;
    l.done = w[0] == QLatin1String("op");
    l.op = w[1].toLongLong();
    l.kind = w[2];
    if (w.size() > 3)
        l.number = w[3].toLongLong();
    return l;
}

// The file as another program sees it, read past the layer under test.
struct Snapshot {
    QString integrity;
    std::map<std::int64_t, Row> rows;
};

Snapshot read(const QString& path) {
    Snapshot s;
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db, 10000);
    auto text = [](sqlite3_stmt* st, int i) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                 sqlite3_column_bytes(st, i));
    };
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr);
    QStringList problems;
    while (sqlite3_step(st) == SQLITE_ROW)
        problems << text(st, 0);
    sqlite3_finalize(st);
    s.integrity = problems.join(QLatin1Char('\n'));
    sqlite3_prepare_v2(db, "SELECT Number, Name, Phone, Address, email FROM Addresses", -1, &st,
                       nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        s.rows[sqlite3_column_int64(st, 0)] = {text(st, 1), text(st, 2), text(st, 3), text(st, 4)};
    sqlite3_finalize(st);
    sqlite3_close(db);
    return s;
}

// What the file must hold, from the lines the writers printed.
class Model {
public:
    // Applies one run's lines and checks the file against the result. Returns the problems.
    QStringList check(const QStringList& lines, const Snapshot& file) {
        QStringList problems;
        std::optional<Line> inFlight;
        for (const QString& text : lines) {
            const std::optional<Line> l = parse(text);
            if (!l)
                continue;
            if (!l->done) {
                inFlight = l;
                continue;
            }
            ++reported;
            if (!inFlight || inFlight->op != l->op)
                problems << QStringLiteral("%1 was not announced").arg(text);
            inFlight.reset();
            if (l->kind == QLatin1String("add")) {
                if (l->number <= highest)
                    problems << QStringLiteral("%1 reuses a number (highest seen %2)")
                                    .arg(text)
                                    .arg(highest);
                live[l->number] = l->op;
            } else if (!live.count(l->number)) {
                problems << QStringLiteral("%1 touched a contact not stored").arg(text);
            } else if (l->kind == QLatin1String("update")) {
                live[l->number] = l->op;
            } else {
                live.erase(l->number);
                gone.insert(l->number);
            }
            highest = std::max(highest, l->number);
        }

        if (file.integrity != QLatin1String("ok"))
            problems << QStringLiteral("integrity_check: %1").arg(file.integrity);
        std::map<std::int64_t, std::int64_t> writers;
        for (const auto& [number, row] : file.rows) {
            highest = std::max(highest, number);
            if (const auto op = writerOf(row))
                writers[number] = *op;
            else
                problems << QStringLiteral("contact %1 is half-written: %2")
                                .arg(number)
                                .arg(row.name.left(60));
        }
        const auto flying = [&](const char* kind, std::int64_t number) {
            return inFlight && inFlight->kind == QLatin1String(kind) &&
                   (inFlight->number == number || inFlight->number == 0);
        };
        bool inFlightLanded = false;
        for (auto it = live.begin(); it != live.end();) {
            const auto [number, op] = *it;
            const auto found = writers.find(number);
            if (found == writers.end() && file.rows.count(number) == 0) {
                if (flying("delete", number)) {
                    inFlightLanded = true;
                    gone.insert(number);
                    it = live.erase(it);
                    continue;
                }
                ++lost;
                problems << QStringLiteral("contact %1 (op %2) is missing").arg(number).arg(op);
            } else if (found != writers.end() && found->second != op) {
                if (flying("update", number) && found->second == inFlight->op) {
                    inFlightLanded = true;
                    it->second = inFlight->op;
                } else {
                    ++lost;
                    problems << QStringLiteral("contact %1 holds op %2, not op %3")
                                    .arg(number)
                                    .arg(found->second)
                                    .arg(op);
                }
            }
            ++it;
        }
        for (const auto& [number, op] : writers) {
            if (live.count(number))
                continue;
            if (flying("add", 0) && op == inFlight->op && !gone.count(number) && !inFlightLanded) {
                inFlightLanded = true;
                live[number] = op;
            } else {
                problems << QStringLiteral("contact %1 (op %2) should not be there%3")
                                .arg(number)
                                .arg(op)
                                .arg(gone.count(number) ? QStringLiteral(": it was deleted")
                                                        : QString());
            }
        }
        if (inFlight)
            ++(inFlightLanded ? inFlightKept : inFlightDropped);
        return problems;
    }

    std::map<std::int64_t, std::int64_t> live; // number -> the op that wrote it last
    std::set<std::int64_t> gone;
    std::int64_t highest = 0;
    int reported = 0, lost = 0, inFlightKept = 0, inFlightDropped = 0;
};

QString binary(const char* name) {
    return qEnvironmentVariable("QUILLBOX_BIN_DIR") + QLatin1Char('/') + QLatin1String(name);
}

} // namespace

class TestCrash : public QObject {
    Q_OBJECT

private slots:
    void killedWriterLosesNothing_data() {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<bool>("takesFolder");
        QTest::addColumn<int>("kills");
        QTest::newRow("record set") << "crashdriver" << false << 200;
        QTest::newRow("main window") << "crashdriver_window" << true << 30;
    }
    void killedWriterLosesNothing() {
        QFETCH(QString, driver);
        QFETCH(bool, takesFolder);
        QFETCH(int, kills);
        ScratchDatabase file;
        Model model;
        std::mt19937 random(20240611);
        const auto started = std::chrono::steady_clock::now();
        int killedBeforeReady = 0;
        std::chrono::steady_clock::duration pace = std::chrono::milliseconds(2); // per operation
        for (int k = 0; k < kills; ++k) {
            QProcess writer;
            writer.setProcessChannelMode(QProcess::SeparateChannels);
            writer.start(binary(driver.toLatin1().constData()),
                         {takesFolder ? file.folder() : file.path(), QString::number(k + 1)});
            QVERIFY2(writer.waitForStarted(10000), qPrintable(writer.errorString()));
            // One kill in eight lands while the file is being opened. The rest wait for a
            // random number of operations to be reported, then for a random part of the time
            // one takes here and now (disks differ, and so does their load), and strike.
            std::chrono::microseconds delay{std::uniform_int_distribution<int>(0, 20000)(random)};
            if (k % 8 != 7) {
                const int wanted = std::uniform_int_distribution<int>(0, 6)(random);
                int done = 0;
                std::optional<std::chrono::steady_clock::time_point> last; // since "ready"
                while (writer.state() == QProcess::Running && writer.waitForReadyRead(20000)) {
                    const QByteArray out = writer.peek(writer.bytesAvailable());
                    const auto t = std::chrono::steady_clock::now();
                    const int now = static_cast<int>(out.count("\nop "));
                    if (now > done && last)
                        pace = (pace * 7 + (t - *last) / (now - done)) / 8;
                    if (now > done || (!last && out.contains("ready")))
                        last = t;
                    done = now;
                    if (last && done >= wanted)
                        break;
                }
                const auto span =
                    std::chrono::duration_cast<std::chrono::microseconds>(pace * 3 / 2);
                delay = std::chrono::microseconds(std::uniform_int_distribution<std::int64_t>(
                    0, std::max<std::int64_t>(span.count(), 1000))(random));
            }
            std::this_thread::sleep_for(delay);
            const bool ranOut = writer.state() != QProcess::Running;
            writer.kill();
            QVERIFY(writer.waitForFinished(10000));
            const QString out = QString::fromUtf8(writer.readAllStandardOutput());
            const QString err = QString::fromUtf8(writer.readAllStandardError());
            QVERIFY2(!ranOut && writer.exitStatus() == QProcess::CrashExit,
                     qPrintable(QStringLiteral("the writer ended by itself:\n%1\n%2")
                                    .arg(out.right(2000), err.right(2000))));
            const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            killedBeforeReady += !out.contains(QLatin1String("ready"));
            const QStringList problems = model.check(lines, read(file.path()));
            QVERIFY2(problems.isEmpty(),
                     qPrintable(QStringLiteral("after kill %1 (%2):\n%3")
                                    .arg(QString::number(k + 1),
                                         lines.isEmpty() ? QString() : lines.back(),
                                         problems.join(QLatin1Char('\n')))));
        }
        const auto seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        qInfo("%s: %d kills (%d before the file was open) in %.1f s; %d operations reported "
              "done, %d lost; in flight at the kill: %d stored whole, %d not at all; %zu "
              "contacts at the end",
              qPrintable(driver), kills, killedBeforeReady, seconds, model.reported, model.lost,
              model.inFlightKept, model.inFlightDropped, model.live.size());
        QVERIFY(model.reported > kills); // the kills came while it was writing, not only before
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "tst_crash.moc"
