// bench_readers: the vCard and CSV readers on inputs shaped to cost them most, each at three
// sizes that double. Reading must take time in proportion to the input: the last column is the
// time of the largest size over the smallest, about 4 when it does, 16 when it is quadratic.
// An argument N divides every size by N, for a reader that is slow.

#include "errors/UserError.h"
#include "exchange/CsvReader.h"
#include "exchange/VCardReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

using namespace quillbox::exchange;
using quillbox::UserError;

struct Shape {
    const char* what;
    int baseUnits; // the smallest size, in repetitions of the shape's unit
    std::function<QByteArray(int)> make;
    bool csv;
};

QByteArray repeated(const QByteArray& unit, int n) {
    QByteArray out;
    out.reserve(unit.size() * n);
    for (int i = 0; i < n; ++i)
        out += unit;
    return out;
}

// Seconds to read (or refuse) the input, the best of three.
double secondsToRead(const QByteArray& input, bool csv, bool& refused) {
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        try {
            refused = false;
            if (csv)
                readCsv(input);
            else
                readVCards(input);
        } catch (const UserError&) {
            refused = true;
        }
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    return best;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int divisor = std::max(1, QCoreApplication::arguments().value(1).toInt());
    const Shape shapes[] = {
        {"vCard: one ADR with n TYPEs, n LABELs", 20000,
         [](int n) {
             return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:x\r\nADR" + repeated(";TYPE=t", n) +
                    ":;;1 A St;T;;;\r\n" + repeated("LABEL;TYPE=u:l\r\n", n) + "END:VCARD\r\n";
         },
         false},
        {"vCard 2.1: n folded pieces ending in '=', no ':'", 200000,
         [](int n) {
             return "BEGIN:VCARD\r\nVERSION:2.1\r\nNOTE;X=" + repeated("\r\n ab=", n) +
                    "\r\nEND:VCARD\r\n";
         },
         false},
        {"vCard 2.1: quoted-printable, n soft breaks", 200000,
         [](int n) {
             return "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:x\r\nNOTE;ENCODING=QUOTED-PRINTABLE:" +
                    repeated("=41=\r\n", n) + "\r\nEND:VCARD\r\n";
         },
         false},
        {"CSV: header of n commas", 5000000,
         [](int n) { return "Name" + QByteArray(n, ',') + "\r\nA\r\n"; }, true},
        {"CSV: n e-mail columns, 10n short rows", 2000,
         [](int n) { return "Name" + repeated(",Email", n) + "\r\n" + repeated("A\r\n", 10 * n); },
         true},
    };
    std::printf("%-50s %10s %10s %10s %8s\n", "input", "size", "seconds", "MB/s", "x4 size");
    for (const Shape& s : shapes) {
        double first = 0, last = 0;
        for (int k = 0; k < 3; ++k) {
            const QByteArray input = s.make((s.baseUnits / divisor) << k);
            bool refused = false;
            const double t = secondsToRead(input, s.csv, refused);
            const double mb = static_cast<double>(input.size()) / 1e6;
            (k == 0 ? first : last) = t;
            std::printf("%-50s %8.2fMB %10.4f %10.1f %8s%s\n", k == 0 ? s.what : "", mb, t, mb / t,
                        k == 2 ? qPrintable(QString::number(last / first, 'f', 1)) : "",
                        refused ? " (refused)" : "");
        }
    }
    return 0;
}
