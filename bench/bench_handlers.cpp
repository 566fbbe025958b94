// bench_handlers: what the contact handlers cost on a loaded main window: choosing an entry,
// adding (the duplicate check included), updating (the list's rebuild included) and deleting,
// each against a fresh fill of the list (the load step), over files of 1,000 and 100,000
// contacts; and following another program's change, from its commit returning to the list
// showing it. Headless; the platform services are the tests' fakes.

#include "Support.h"

#include "data/Connection.h"
#include "data/EngineError.h"
#include "data/Schema.h"
#include "data/Sqlite.h"
#include "support/FakeServices.h"
#include "windows/common/ListBox.h"
#include "windows/common/TextBox.h"
#include "windows/main/MainProgram.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

using namespace quillbox;
using bench::median;
using bench::timeMs;

struct Figures {
    double fill, choose, add, update, remove, refresh;
};

// Another program renames a contact; the time from its commit to the window's list having read
// it, with the event loop running as the program's does.
double timeRefresh(windows::MainProgram& window, const QString& file, qint32 number, int round) {
    QCoreApplication::processEvents(); // the window's own writes noticed before the clock
    data::Connection other(file, data::Access::ReadWrite);
    data::sqlite::Statement rename(other.handle(),
                                   "UPDATE Addresses SET Name = ?2 WHERE Number = ?1");
    rename.bind(1, std::int64_t{number});
    rename.bind(2, data::Value(QStringLiteral("Bench, Renamed %1").arg(round)));
    rename.step();
    bool refreshed = false;
    const QMetaObject::Connection c = QObject::connect(
        &window, &windows::MainProgram::listRefreshed, [&refreshed] { refreshed = true; });
    const double ms = timeMs([&] {
        while (!refreshed)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    });
    QObject::disconnect(c);
    return ms;
}

Figures measure(const QString& sample, int rounds) {
    QTemporaryDir folder;
    const QString file = QDir(folder.path()).filePath(data::schema::FileName);
    if (!QFile::copy(sample, file))
        throw data::EngineError(-1, QStringLiteral("cannot copy %1").arg(sample));
    QDir::setCurrent(folder.path());

    test::FakeServices fakes;
    auto window = std::make_unique<windows::MainProgram>(fakes.services);
    Figures f{};
    f.fill = timeMs([&] { window->Form_Load(); });
    auto* list = window->findChild<windows::ListBox*>("lstRecords");
    auto line = [&](const char* name) { return window->findChild<windows::LineBox*>(name); };
    std::mt19937 rng(7);
    auto chooseAny = [&] {
        list->SetListIndex(static_cast<int>(rng() % static_cast<unsigned>(list->ListCount())));
        window->lstRecords_Click();
    };

    std::vector<double> choose, add, update, remove, refresh;
    for (int r = 0; r < rounds; ++r) {
        choose.push_back(timeMs(chooseAny));
        line("txtName")->SetText(QStringLiteral("Bench, Person %1").arg(r));
        line("txtPhone")->SetText(QStringLiteral("555-%1").arg(r));
        add.push_back(timeMs([&] { window->cmdNew_Click(); }));
        chooseAny();
        fakes.boxes.answerNext(desktop::MessageBoxService::AnswerYes);
        remove.push_back(timeMs([&] { window->cmdDelete_Click(); }));
    }
    for (int r = 0; r < std::max(3, rounds / 4); ++r) {
        chooseAny();
        line("txtUpdatePhone")->SetText(QStringLiteral("updated %1").arg(r));
        update.push_back(timeMs([&] { window->cmdUpdate_Click(); }));
        refresh.push_back(timeRefresh(*window, file, list->ItemData(0), r));
    }
    if (!fakes.boxes.calls.empty() &&
        fakes.boxes.calls.back().style != desktop::MessageBoxService::StyleYesNoQuestion)
        throw data::EngineError(
            -1, QStringLiteral("a handler refused: %1").arg(fakes.boxes.calls.back().prompt));
    window.reset();
    QDir::setCurrent(QDir::tempPath());
    return {f.fill, median(choose), median(add), median(update), median(remove), median(refresh)};
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    try {
        QDir().mkpath(QStringLiteral(QUILLBOX_BENCH_DATA));
        std::printf("\nthe contact handlers on a loaded main window (medians, ms)\n");
        std::printf("%10s %10s %10s %10s %10s %10s %14s %10s %16s\n", "contacts", "fill",
                    "choose", "add", "delete", "update", "update/fill", "refresh",
                    "refresh/fill");
        for (const std::int64_t n : {1'000, 100'000}) {
            const QString sample = bench::sampleFile(QStringLiteral(QUILLBOX_BENCH_DATA),
                                                     QStringLiteral(QUILLBOX_DB), n);
            const Figures f = measure(sample, n > 10'000 ? 20 : 40);
            std::printf("%10lld %10.1f %10.2f %10.2f %10.2f %10.1f %14.2f %10.1f %16.2f\n",
                        static_cast<long long>(n), f.fill, f.choose, f.add, f.remove, f.update,
                        f.update / f.fill, f.refresh, f.refresh / f.fill);
        }
        std::printf("\ngoals at 100000: add and delete under 20 ms each, update under 1.5 times "
                    "the fill, refresh (another program's rename, from its commit to the list read "
                    "again) at most the fill, which a full rebuild of the list costs\n");
    } catch (const data::EngineError& e) {
        std::fprintf(stderr, "bench_handlers: %s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
