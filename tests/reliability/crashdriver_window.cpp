// The crash driver's stream of adds, updates and deletes, made through the main window's own
// handlers (offscreen, with recording fakes) on the senha.scc of a folder. Lines as crashdriver
// prints them; the "op" line comes after the handler has returned.
//
// usage: crashdriver_window FOLDER SEED

#include "Stamp.h"
#include "support/FakeServices.h"
#include "windows/common/ListBox.h"
#include "windows/common/TextBox.h"
#include "windows/main/MainProgram.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <random>
#include <string>
#include <unistd.h>

using namespace quillbox;

namespace {

void say(const QString& line) {
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    if (::write(STDOUT_FILENO, bytes.constData(), static_cast<std::size_t>(bytes.size())) < 0)
        std::_Exit(4);
}

class Driver {
public:
    explicit Driver(windows::MainProgram& w) : w_(w) {}

    void type(const char* box, const QString& text) {
        if (auto* line = w_.findChild<windows::LineBox*>(box))
            line->SetText(text);
        else
            w_.findChild<windows::MultiLineBox*>(box)->SetText(text);
    }
    void press(const char* button) { w_.findChild<QPushButton*>(button)->click(); }
    windows::ListBox* list() { return w_.findChild<windows::ListBox*>("lstRecords"); }
    void choose(int row) {
        const QModelIndex index = list()->model()->index(row, 0);
        list()->scrollTo(index);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                          list()->visualRect(index).center());
    }
    int rowOf(const QString& name) {
        for (int i = 0; i < list()->ListCount(); ++i)
            if (list()->List(i) == name)
                return i;
        return -1;
    }

private:
    windows::MainProgram& w_;
};

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: crashdriver_window FOLDER SEED\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!QDir::setCurrent(QString::fromLocal8Bit(argv[1])))
        return 2;
    const std::int64_t seed = std::stoll(argv[2]);
    std::mt19937_64 random(static_cast<std::uint64_t>(seed));

    test::FakeServices fakes;
    windows::MainProgram window(fakes.services);
    Driver d(window);
    auto failed = [&] {
        if (fakes.end.statuses.empty() && fakes.boxes.calls.empty())
            return false;
        say(QStringLiteral("error %1")
                .arg(fakes.boxes.calls.empty() ? QStringLiteral("the program ended")
                                               : fakes.boxes.calls.back().prompt));
        return true;
    };
    fakes.errors.guard([&] { window.Form_Load(); });
    if (failed())
        return 3;
    window.show();
    say(QStringLiteral("ready %1").arg(d.list()->ListCount()));

    for (std::int64_t i = 0;; ++i) {
        const std::int64_t op = seed * 1'000'000 + i;
        const int count = d.list()->ListCount();
        const int roll = static_cast<int>(random() % 100);
        const int addBelow = count == 0 ? 100 : count > 150 ? 20 : 45;
        const reliability::Row row = reliability::makeRow(op);
        const QString hash = reliability::hashText(reliability::rowHash(op));
        if (roll < addBelow) {
            say(QStringLiteral("try %1 add").arg(op));
            d.type("txtName", row.name);
            d.type("txtPhone", row.phone);
            d.type("txtAddress", row.address);
            d.type("txtEmail", row.email);
            d.press("cmdNew");
            if (failed())
                return 3;
            const int at = d.rowOf(row.name);
            if (at < 0) {
                say(QStringLiteral("error the new contact is not listed"));
                return 3;
            }
            say(QStringLiteral("op %1 add %2 %3").arg(op).arg(d.list()->ItemData(at)).arg(hash));
            continue;
        }
        const int at = static_cast<int>(random() % static_cast<unsigned>(count));
        const qint32 number = d.list()->ItemData(at);
        const bool update = roll < addBelow + (100 - addBelow) * 6 / 10;
        say(QStringLiteral("try %1 %2 %3")
                .arg(op)
                .arg(QLatin1String(update ? "update" : "delete"))
                .arg(number));
        d.choose(at);
        if (failed())
            return 3;
        if (update) {
            d.type("txtUpdateName", row.name);
            d.type("txtUpdatePhone", row.phone);
            d.type("txtUpdateAddress", row.address);
            d.type("txtUpdateEmail", row.email);
            d.press("cmdUpdate");
        } else {
            fakes.boxes.answerNext(platform::MessageBoxService::AnswerYes);
            d.press("cmdDelete");
            // The question, and nothing after it, is what a delete shows.
            if (fakes.boxes.calls.size() == 1 &&
                fakes.boxes.calls[0].style == platform::MessageBoxService::StyleYesNoQuestion)
                fakes.boxes.calls.clear();
        }
        if (failed())
            return 3;
        say(update ? QStringLiteral("op %1 update %2 %3").arg(op).arg(number).arg(hash)
                   : QStringLiteral("op %1 delete %2").arg(op).arg(number));
    }
}
