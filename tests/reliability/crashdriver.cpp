// The writers the reliability tests start as processes of their own.
//
//   crashdriver recordset FILE SEED   a seeded random stream of adds, updates and deletes
//   crashdriver window FOLDER SEED    the same stream through the main window's own handlers
//                                     (offscreen, with recording fakes) on FOLDER/senha.scc
//       Each prints "ready N" once the file is open, then before each operation "try OP KIND
//       [NUMBER]" and after it has returned "op OP KIND NUMBER", until it is killed.
//   crashdriver adds FILE TAG COUNT   prints "ready", waits for a line on standard input, then
//                                     adds COUNT contacts "TAG i", printing "i NUMBER" for each
// An engine error is printed as "error ..." and ends the writer with status 3.

#include "Stamp.h"
#include "data/Database.h"
#include "data/Recordset.h"
#include "support/MainWindowFixture.h"

#include <QApplication>

#include <cstdio>
#include <iostream>
#include <random>
#include <unistd.h>

using namespace quillbox;

namespace {

// Unbuffered: a line is either written whole or, if the kill comes first, not at all.
void say(const QString& line) {
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    if (::write(STDOUT_FILENO, bytes.constData(), static_cast<std::size_t>(bytes.size())) < 0)
        std::_Exit(4);
}

void collect(data::Recordset& rs, const reliability::Row& row) {
    rs.Collect(QStringLiteral("Name"), row.name);
    rs.Collect(QStringLiteral("Phone"), row.phone);
    rs.Collect(QStringLiteral("Address"), row.address);
    rs.Collect(QStringLiteral("email"), row.email);
}

// Through the record-set layer.
struct RecordsetWriter {
    std::shared_ptr<data::Database> db;
    std::unique_ptr<data::Recordset> rs;
    std::vector<std::int64_t> live;

    explicit RecordsetWriter(const QString& file)
        : db(data::OpenDatabase(file)), rs(db->OpenRecordset(QStringLiteral("Addresses"))) {
        for (; !rs->Eof(); rs->MoveNext())
            live.push_back(rs->Fields(QStringLiteral("Number")).toInt32());
    }
    int count() const { return static_cast<int>(live.size()); }
    std::int64_t number(int at) const { return live[static_cast<std::size_t>(at)]; }
    std::int64_t add(const reliability::Row& row) {
        rs->AddNew();
        const std::int64_t number = rs->Fields(QStringLiteral("Number")).toInt32();
        collect(*rs, row);
        rs->Update();
        live.push_back(number);
        return number;
    }
    void change(int at, const reliability::Row* row) {
        rs->FindFirst(QStringLiteral("Number= %1").arg(number(at)));
        if (rs->NoMatch())
            throw data::EngineError(0, QStringLiteral("the record is missing"));
        if (row) {
            rs->Edit();
            collect(*rs, *row);
            rs->Update();
        } else {
            rs->Delete();
            live.erase(live.begin() + at);
        }
    }
};

// Through the main window, as a user would.
struct WindowWriter {
    test::FakeServices fakes;
    windows::MainProgram window{fakes.services};
    test::WindowDriver d;

    WindowWriter() {
        d.w = &window;
        fakes.errors.guard([&] { window.Form_Load(); });
        check();
        window.show();
    }
    // The delete's question, and nothing else, is what a writer may be shown.
    void check() {
        if (fakes.boxes.calls.size() == 1 &&
            fakes.boxes.calls[0].style == desktop::MessageBoxService::StyleYesNoQuestion)
            fakes.boxes.calls.clear();
        if (!fakes.end.statuses.empty() || !fakes.boxes.calls.empty())
            throw data::EngineError(0, fakes.boxes.calls.empty() ? QStringLiteral("ended")
                                                                 : fakes.boxes.calls[0].prompt);
    }
    int count() const { return d.list()->ListCount(); }
    std::int64_t number(int at) const { return d.list()->ItemData(at); }
    void fill(const char* const boxes[4], const reliability::Row& row) {
        const QString fields[] = {row.name, row.phone, row.address, row.email};
        for (int i = 0; i < 4; ++i)
            d.type(boxes[i], fields[i]);
    }
    std::int64_t add(const reliability::Row& row) {
        const char* const boxes[] = {"txtName", "txtPhone", "txtAddress", "txtEmail"};
        fill(boxes, row);
        d.press("cmdNew");
        check();
        return number(d.rowOf(row.name));
    }
    void change(int at, const reliability::Row* row) {
        d.choose(at);
        if (row) {
            const char* const boxes[] = {"txtUpdateName", "txtUpdatePhone", "txtUpdateAddress",
                                         "txtUpdateEmail"};
            fill(boxes, *row);
            d.press("cmdUpdate");
        } else {
            fakes.boxes.answerNext(desktop::MessageBoxService::AnswerYes);
            d.press("cmdDelete");
        }
        check();
    }
};

template <class Writer> int writeUntilKilled(Writer& w, std::int64_t seed) {
    std::mt19937_64 random(static_cast<std::uint64_t>(seed));
    say(QStringLiteral("ready %1").arg(w.count()));
    for (std::int64_t op = seed * 1'000'000;; ++op) {
        const int roll = static_cast<int>(random() % 100);
        // Adds lead while the table is small; past 150 contacts deletes keep it there.
        const int addBelow = w.count() == 0 ? 100 : w.count() > 150 ? 20 : 45;
        const reliability::Row row = reliability::makeRow(op);
        if (roll < addBelow) {
            say(QStringLiteral("try %1 add").arg(op));
            say(QStringLiteral("op %1 add %2").arg(op).arg(w.add(row)));
            continue;
        }
        const int at = static_cast<int>(random() % static_cast<unsigned>(w.count()));
        const std::int64_t number = w.number(at);
        const char* kind = roll < addBelow + (100 - addBelow) * 6 / 10 ? "update" : "delete";
        say(QStringLiteral("try %1 %2 %3").arg(op).arg(QLatin1String(kind)).arg(number));
        w.change(at, kind[0] == 'u' ? &row : nullptr);
        say(QStringLiteral("op %1 %2 %3").arg(op).arg(QLatin1String(kind)).arg(number));
    }
}

int addOnSignal(const QString& file, const QString& tag, int count) {
    RecordsetWriter w(file);
    say(QStringLiteral("ready"));
    std::string go;
    std::getline(std::cin, go);
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += QByteArray::number(i) + ' ' +
               QByteArray::number(w.add({QStringLiteral("%1 %2").arg(tag).arg(i), {}, {}, {}})) + '\n';
    std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (argc < 4 || (mode != "recordset" && mode != "window" && !(mode == "adds" && argc == 5))) {
        std::fprintf(stderr, "usage: crashdriver recordset|window FILE|FOLDER SEED\n"
                             "       crashdriver adds FILE TAG COUNT\n");
        return 2;
    }
    const QString where = QString::fromLocal8Bit(argv[2]);
    try {
        if (mode == "adds")
            return addOnSignal(where, QString::fromLocal8Bit(argv[3]), std::atoi(argv[4]));
        const std::int64_t seed = std::atoll(argv[3]);
        if (mode == "recordset") {
            RecordsetWriter w(where);
            return writeUntilKilled(w, seed);
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        if (!QDir::setCurrent(where))
            return 2;
        WindowWriter w;
        return writeUntilKilled(w, seed);
    } catch (const data::EngineError& e) {
        say(QStringLiteral("error %1 %2").arg(e.number()).arg(e.description()));
        return 3;
    }
}
