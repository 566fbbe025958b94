// Writes to a database file through the record-set layer until it is killed: a seeded random
// stream of adds, updates and deletes. Before each operation it prints "try <op> <kind>
// [<number>]"; after the Update or Delete has returned, "op <op> <kind> <number> [<hash>]". A test
// kills it at random moments and checks the file against what it printed.
//
// usage: crashdriver FILE SEED

#include "Stamp.h"
#include "data/Database.h"
#include "data/Recordset.h"

#include <QString>

#include <cstdio>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

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

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: crashdriver FILE SEED\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const std::int64_t seed = std::stoll(argv[2]);
    std::mt19937_64 random(static_cast<std::uint64_t>(seed));
    try {
        auto db = data::OpenDatabase(file);
        auto rs = db->OpenRecordset(QStringLiteral("Addresses"));
        std::vector<std::int64_t> live;
        for (; !rs->Eof(); rs->MoveNext())
            live.push_back(rs->Fields(QStringLiteral("Number")).toInt32());
        say(QStringLiteral("ready %1").arg(live.size()));

        for (std::int64_t i = 0;; ++i) {
            const std::int64_t op = seed * 1'000'000 + i;
            const int roll = static_cast<int>(random() % 100);
            // Adds lead while the table is small; past 150 contacts deletes keep it there.
            const int addBelow = live.empty() ? 100 : live.size() > 150 ? 20 : 45;
            const reliability::Row row = reliability::makeRow(op);
            const QString hash = reliability::hashText(reliability::rowHash(op));
            if (roll < addBelow) {
                say(QStringLiteral("try %1 add").arg(op));
                rs->AddNew();
                const std::int64_t number = rs->Fields(QStringLiteral("Number")).toInt32();
                collect(*rs, row);
                rs->Update();
                live.push_back(number);
                say(QStringLiteral("op %1 add %2 %3").arg(op).arg(number).arg(hash));
                continue;
            }
            const std::size_t at = random() % live.size();
            const std::int64_t number = live[at];
            const bool update = roll < addBelow + (100 - addBelow) * 6 / 10;
            say(QStringLiteral("try %1 %2 %3")
                    .arg(op)
                    .arg(QLatin1String(update ? "update" : "delete"))
                    .arg(number));
            rs->FindFirst(QStringLiteral("Number= %1").arg(number));
            if (rs->NoMatch()) {
                say(QStringLiteral("error the record %1 is missing").arg(number));
                return 3;
            }
            if (update) {
                rs->Edit();
                collect(*rs, row);
                rs->Update();
                say(QStringLiteral("op %1 update %2 %3").arg(op).arg(number).arg(hash));
            } else {
                rs->Delete();
                live.erase(live.begin() + static_cast<std::ptrdiff_t>(at));
                say(QStringLiteral("op %1 delete %2").arg(op).arg(number));
            }
        }
    } catch (const data::EngineError& e) {
        say(QStringLiteral("error %1 %2").arg(e.number()).arg(e.description()));
        return 3;
    }
}
