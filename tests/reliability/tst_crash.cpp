// Kills a writer with SIGKILL at random moments, over and over on one file, and after every kill
// checks the file against what the writer had reported done: the file is intact, every reported
// change is there, the one change in flight is there whole or not at all, no contact is
// half-written and no record number comes back.

#include "Stamp.h"
#include "support/ScratchDatabase.h"

#include <QProcess>
#include <QTest>

#include <chrono>
#include <map>
#include <optional>
#include <random>
#include <thread>

using namespace quillbox::reliability;
using Clock = std::chrono::steady_clock;

namespace {

// The file as another program sees it: its integrity, and the writer of each contact (-1 for
// one half-written). The fields hold letters, digits and '|' only.
std::map<std::int64_t, std::int64_t> read(const ScratchDatabase& file, QStringList& problems) {
    const QString integrity =
        file.scalar("SELECT group_concat(integrity_check, ' ') FROM pragma_integrity_check").toString();
    if (integrity != QLatin1String("ok"))
        problems << "integrity_check: " + integrity;
    std::map<std::int64_t, std::int64_t> rows;
    const QString all = file.scalar("SELECT group_concat(Number || ';' || ifnull(Name, '') || ';' || "
                                    "ifnull(Phone, '') || ';' || ifnull(Address, '') || ';' || "
                                    "ifnull(email, ''), ',') FROM Addresses").toString();
    for (const QString& row : all.split(u',', Qt::SkipEmptyParts)) {
        const QStringList f = row.split(u';');
        rows[f[0].toLongLong()] = writerOf({f[1], f[2], f[3], f[4]}).value_or(-1);
    }
    return rows;
}

// What the file must hold: each contact's number and the operation that wrote it last.
struct Model {
    std::map<std::int64_t, std::int64_t> live;
    std::int64_t highest = 0; // no number at or below it may be handed out again
    int reported = 0, inFlightKept = 0, inFlightDropped = 0;

    QStringList check(const QStringList& lines, const ScratchDatabase& scratch) {
        QStringList problems;
        QStringList inFlight; // "try OP KIND [NUMBER]" not followed by its "op" line
        for (const QString& line : lines) {
            const QStringList w = line.split(QLatin1Char(' '));
            if (w[0] == QLatin1String("try")) {
                inFlight = w;
            } else if (w[0] == QLatin1String("op") && w.size() == 4) {
                ++reported;
                const std::int64_t op = w[1].toLongLong(), number = w[3].toLongLong();
                if (inFlight.value(1) != w[1])
                    problems << line + " was not announced";
                inFlight.clear();
                if (w[2] == QLatin1String("add") && number <= highest)
                    problems << line + " hands out a number again";
                if (w[2] != QLatin1String("add") && !live.count(number))
                    problems << line + " touched a contact not stored";
                if (w[2] == QLatin1String("delete"))
                    live.erase(number);
                else
                    live[number] = op;
                highest = std::max(highest, number);
            }
        }
        std::map<std::int64_t, std::int64_t> file = read(scratch, problems);
        // The change in flight may have landed whole: then the file holds it and so does the
        // model from here on.
        bool landed = false;
        if (!inFlight.isEmpty()) {
            const std::int64_t op = inFlight[1].toLongLong(), number = inFlight.value(3).toLongLong();
            std::map<std::int64_t, std::int64_t> after = live;
            if (inFlight[2] == QLatin1String("delete"))
                after.erase(number);
            else if (inFlight[2] == QLatin1String("update"))
                after[number] = op;
            else
                for (const auto& [n, writer] : file)
                    if (writer == op && n > highest)
                        after[n] = op;
            landed = after == file && after != live;
            if (landed)
                live = after;
            ++(landed ? inFlightKept : inFlightDropped);
        }
        for (const auto& [number, writer] : file)
            highest = std::max(highest, number);
        if (file != live)
            for (auto it : {&file, &live})
                for (const auto& [number, op] : *it)
                    if ((it == &file ? live : file).count(number) == 0 ||
                        (it == &file ? live : file).at(number) != op)
                        problems << QStringLiteral("contact %1: the %2 has op %3")
                                        .arg(number)
                                        .arg(QLatin1String(it == &file ? "file" : "model"))
                                        .arg(op);
        return problems;
    }
};

} // namespace

class TestCrash : public QObject {
    Q_OBJECT

private slots:
    void killedWriterLosesNothing_data() {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<int>("kills");
        QTest::newRow("record set") << "recordset" << 120;
        QTest::newRow("main window") << "window" << 20;
    }
    void killedWriterLosesNothing() {
        QFETCH(QString, writer);
        QFETCH(int, kills);
        ScratchDatabase file;
        Model model;
        std::mt19937 random(20240611);
        Clock::duration pace = std::chrono::milliseconds(2); // per operation, as measured
        for (int k = 0; k < kills; ++k) {
            QProcess p;
            p.start(qEnvironmentVariable("QUILLBOX_BIN_DIR") + "/crashdriver",
                    {writer, writer == "window" ? file.folder() : file.path(), QString::number(k + 1)});
            QVERIFY2(p.waitForStarted(10000), qPrintable(p.errorString()));
            // One kill in eight lands while the file is being opened. The rest wait for a
            // random number of operations, then for a random part of the time one takes.
            auto delay = std::chrono::microseconds(std::uniform_int_distribution<int>(0, 20000)(random));
            if (k % 8 != 7) {
                const int wanted = std::uniform_int_distribution<int>(0, 6)(random);
                int done = 0;
                std::optional<Clock::time_point> last; // since "ready"
                while (p.state() == QProcess::Running && p.waitForReadyRead(20000)) {
                    const QByteArray out = p.peek(p.bytesAvailable());
                    const auto now = Clock::now();
                    const int ops = static_cast<int>(out.count("\nop "));
                    if (ops > done && last)
                        pace = (pace * 7 + (now - *last) / (ops - done)) / 8;
                    if (ops > done || (!last && out.contains("ready")))
                        last = now;
                    done = ops;
                    if (last && done >= wanted)
                        break;
                }
                const auto span = std::chrono::duration_cast<std::chrono::microseconds>(pace * 3 / 2);
                delay = std::chrono::microseconds(std::uniform_int_distribution<std::int64_t>(
                    0, std::max<std::int64_t>(span.count(), 1000))(random));
            }
            std::this_thread::sleep_for(delay);
            const bool ranOut = p.state() != QProcess::Running;
            p.kill();
            QVERIFY(p.waitForFinished(10000));
            const QString out = QString::fromUtf8(p.readAllStandardOutput());
            QVERIFY2(!ranOut && p.exitStatus() == QProcess::CrashExit,
                     qPrintable("the writer ended by itself:\n" + out.right(2000) +
                                QString::fromUtf8(p.readAllStandardError()).right(2000)));
            const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            const QStringList problems = model.check(lines, file);
            QVERIFY2(problems.isEmpty(), qPrintable(QStringLiteral("after kill %1 (%2):\n%3")
                                                        .arg(k + 1)
                                                        .arg(lines.value(lines.size() - 1),
                                                             problems.join(QLatin1Char('\n')))));
        }
        qInfo("%s: %d kills, %d operations reported done; in flight at the kill: %d stored "
              "whole, %d not at all; %zu contacts at the end",
              qPrintable(writer), kills, model.reported, model.inFlightKept,
              model.inFlightDropped, model.live.size());
        QVERIFY(model.reported > kills); // the kills came while it was writing, not only before
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "tst_crash.moc"
