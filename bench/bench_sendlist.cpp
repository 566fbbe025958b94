// bench_sendlist: what one key typed into the send list costs when it holds 100,000 addresses
// (2.8 MB on one line, as Add Everybody leaves it over a file that size), typed at the end, in
// the middle and at the start, each key followed by the repaint it causes. The box is the main
// window's own; for comparison, the same box holding the list as one paragraph, as it did
// before it kept long lines in pieces. One frame is 16 ms. Headless.

#include "support/FakeServices.h"
#include "windows/common/TextBox.h"
#include "windows/main/MainProgram.h"

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QTextCursor>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using namespace quillbox;

constexpr int kAddresses = 100000;
constexpr double kFrameMs = 16.0;

double timeMs(const std::function<void()>& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

QString sendList() {
    QString list;
    for (int i = 0; i < kAddresses; ++i) {
        if (i > 0)
            list += QLatin1String(", ");
        list += QStringLiteral("contact.%1@example.org").arg(i, 6, 10, QLatin1Char('0'));
    }
    return list;
}

// The median cost of one key at each place, over `keys` keys per place.
bool typing(windows::MultiLineBox* box, const QString& list, const char* how, int keys) {
    const double set = timeMs([&] {
        box->SetText(list);
        box->viewport()->repaint();
    });
    std::printf("%-26s putting the list in: %8.1f ms\n", how, set);
    bool fast = true;
    const std::pair<const char*, int> places[] = {
        {"at the end", -1},
        {"in the middle", static_cast<int>(list.size() / 2)},
        {"at the start", 0}};
    for (const auto& [where, position] : places) {
        QTextCursor cursor(box->document());
        if (position < 0)
            cursor.movePosition(QTextCursor::End);
        else
            cursor.setPosition(position);
        box->setTextCursor(cursor);
        box->viewport()->repaint();
        std::vector<double> costs;
        for (int k = 0; k < keys; ++k)
            costs.push_back(timeMs([&] {
                QTest::keyClick(box, Qt::Key_X);
                box->viewport()->repaint();
            }));
        const double ms = median(costs);
        fast = fast && ms < kFrameMs;
        std::printf("%-26s a key %-13s %8.2f ms (median of %d)\n", how, where, ms, keys);
    }
    if (box->Text().size() != list.size() + 3 * keys)
        std::printf("the box lost text\n");
    return fast;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    test::FakeServices fakes;
    windows::MainProgram window(fakes.services);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 2;
    window.findChild<QAction*>(QStringLiteral("EmailList"))->trigger(); // opens the panel
    auto* box = window.findChild<windows::MultiLineBox*>(QStringLiteral("txtEmailList"));
    box->setFocus();

    const QString list = sendList();
    std::printf("%d addresses, %.1f MB of text\n", kAddresses, list.size() / 1e6);
    const bool fast = typing(box, list, "send list (in pieces)", 41);
    std::printf("every key within one frame (%.0f ms): %s\n", kFrameMs, fast ? "yes" : "NO");

    box->SetText(QString());
    box->SetLongLinesInPieces(false);
    typing(box, list, "one paragraph (before)", 3);
    return fast ? 0 : 1;
}
