#include "windows/common/TextBox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QtTest>

#include <type_traits>

using quillbox::windows::LineBox;
using quillbox::windows::MultiLineBox;

namespace {

const QString kGrin = QStringLiteral("\U0001F600"); // two UTF-16 code units

enum class Action { Type, KeyWithText, Enter, Paste, Drop, Compose };

constexpr int kAtEnd = -1;
constexpr int kAllSelected = -2;

void drop(QWidget* target, QPoint at, const QString& text) {
    QMimeData mime;
    mime.setText(text);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &dropped);
}

// Sets up a box of either kind, lets the user act on it and gives back its text.
template <class Box>
QString afterUser(int limit, const QString& initial, int cursor, Action action,
                  const QString& input) {
    Box box;
    box.resize(300, 120);
    box.show();
    if (!QTest::qWaitForWindowExposed(&box))
        return QStringLiteral("(not shown)");
    box.SetMaxLength(limit);
    box.SetText(initial);
    if (cursor == kAllSelected) {
        box.selectAll();
    } else if constexpr (std::is_same_v<Box, LineBox>) {
        box.setCursorPosition(cursor == kAtEnd ? static_cast<int>(box.text().size()) : cursor);
    } else {
        QTextCursor moved(box.document());
        if (cursor == kAtEnd)
            moved.movePosition(QTextCursor::End);
        else
            moved.setPosition(cursor);
        box.setTextCursor(moved);
    }

    switch (action) {
    case Action::Type:
        QTest::keyClicks(&box, input);
        break;
    case Action::KeyWithText:
        QTest::sendKeyEvent(QTest::Press, &box, Qt::Key_unknown, input, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, &box, Qt::Key_unknown, input, Qt::NoModifier);
        break;
    case Action::Enter:
        QTest::keyClick(&box, Qt::Key_Return);
        break;
    case Action::Paste:
        QGuiApplication::clipboard()->setText(input);
        box.paste();
        break;
    case Action::Drop:
        if constexpr (std::is_same_v<Box, LineBox>)
            drop(&box, QPoint(box.width() - 4, box.height() / 2), input);
        else
            drop(box.viewport(), box.cursorRect().center(), input);
        break;
    case Action::Compose: {
        QInputMethodEvent preedit(input, {});
        QCoreApplication::sendEvent(&box, &preedit);
        QInputMethodEvent commit;
        commit.setCommitString(input);
        QCoreApplication::sendEvent(&box, &commit);
        break;
    }
    }
    return box.Text();
}

} // namespace

class TestTextBox : public QObject {
    Q_OBJECT

private slots:
    void limitHoldsForWhatTheUserPutsIn_data();
    void limitHoldsForWhatTheUserPutsIn();
    void multiLineTextComesBackWithCrLf_data();
    void multiLineTextComesBackWithCrLf();
    void undoAndLoweringTheLimit();
};

void TestTextBox::limitHoldsForWhatTheUserPutsIn_data() {
    QTest::addColumn<bool>("multiLine");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("initial");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    const QString grin = kGrin;
    for (const bool multi : {false, true}) {
        const auto row = [multi](const char* name) -> QTestData& {
            return QTest::newRow(
                qPrintable(QLatin1String(multi ? "multi: " : "line: ") + QLatin1String(name)));
        };
        row("typing stops at the limit") << multi << 5 << "" << kAtEnd << Action::Type << "abcdefg"
                                         << "abcde";
        row("typing into a full box") << multi << 5 << "abcde" << 2 << Action::Type << "x"
                                      << "abcde";
        row("no limit") << multi << 0 << "" << kAtEnd << Action::Paste << QString(40000, u'x')
                        << QString(40000, u'x');
        row("paste more than fits") << multi << 5 << "ab" << kAtEnd << Action::Paste << "cdefgh"
                                    << "abcde";
        row("paste into the middle") << multi << 6 << "abcd" << 2 << Action::Paste << "XYZ"
                                     << "abXYcd";
        row("paste over a selection")
            << multi << 5 << "abcde" << kAllSelected << Action::Paste << "123456789"
            << "12345";
        row("paste cut inside an emoji")
            << multi << 4 << "ab" << kAtEnd << Action::Paste << "c" + grin + "d"
            << "abc";
        row("paste of an emoji that just fits")
            << multi << 4 << "ab" << kAtEnd << Action::Paste << grin + "d"
            << "ab" + grin;
        row("emoji key one short of room")
            << multi << 3 << "ab" << kAtEnd << Action::KeyWithText << grin << "ab";
        row("drop more than fits") << multi << 5 << "ab" << kAtEnd << Action::Drop << "cdefgh"
                                   << "abcde";
        row("drop cut inside an emoji")
            << multi << 3 << "ab" << kAtEnd << Action::Drop << grin << "ab";
        row("composed text cut inside an emoji")
            << multi << 4 << "ab" << kAtEnd << Action::Compose << "c" + grin << "abc";
        // What the program stored comes in whole, and the user cannot make it longer.
        row("typing into a stored text over the limit")
            << multi << 3 << "abcdefgh" << 1 << Action::Type << "xy"
            << "abcdefgh";
        row("deleting from a stored text over the limit makes no room")
            << multi << 3 << "abcdefgh" << 1 << Action::Type << "\bxy"
            << "bcdefgh";
        row("paste over all of a stored text over the limit")
            << multi << 3 << "abcdefgh" << kAllSelected << Action::Paste << "123456"
            << "123";
    }
    QTest::newRow("line: stored text that a cut would split in an emoji")
        << false << 3 << "ab" + grin << 1 << Action::Type << "xy"
        << "ab" + grin;
    QTest::newRow("multi: stored lines over the limit")
        << true << 3 << "ab\r\ncd\r\nef" << 1 << Action::Type << "xy"
        << "ab\r\ncd\r\nef";

    // A line break is stored as CR LF, so it takes two of the limit.
    QTest::newRow("multi: Enter counts two") << true << 5 << "abc" << kAtEnd << Action::Enter << ""
                                             << "abc\r\n";
    QTest::newRow("multi: Enter does not fit in one")
        << true << 4 << "abc" << kAtEnd << Action::Enter << ""
        << "abc";
    QTest::newRow("multi: typing after a break")
        << true << 5 << "a\r\nb" << kAtEnd << Action::Type << "xyz"
        << "a\r\nbx";
    QTest::newRow("multi: pasted break counts two")
        << true << 5 << "" << kAtEnd << Action::Paste << "ab\ncd"
        << "ab\r\nc";
    QTest::newRow("multi: pasted CR LF is one break")
        << true << 6 << "" << kAtEnd << Action::Paste << "ab\r\ncd"
        << "ab\r\ncd";
    QTest::newRow("multi: pasted break that does not fit")
        << true << 3 << "" << kAtEnd << Action::Paste << "ab\r\ncd"
        << "ab";
    QTest::newRow("multi: Tab is not typed") << true << 0 << "" << kAtEnd << Action::Type << "a\tb"
                                             << "ab";
}

void TestTextBox::limitHoldsForWhatTheUserPutsIn() {
    QFETCH(bool, multiLine);
    QFETCH(int, limit);
    QFETCH(QString, initial);
    QFETCH(int, cursor);
    QFETCH(Action, action);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const QString text = multiLine ? afterUser<MultiLineBox>(limit, initial, cursor, action, input)
                                   : afterUser<LineBox>(limit, initial, cursor, action, input);
    QCOMPARE(text, expected);
}

void TestTextBox::multiLineTextComesBackWithCrLf_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("text");
    QTest::newRow("CR LF") << "one\r\ntwo\r\n"
                           << "one\r\ntwo\r\n";
    QTest::newRow("lone LF") << "one\ntwo"
                             << "one\r\ntwo";
    QTest::newRow("blank lines") << "\r\n\r\nx"
                                 << "\r\n\r\nx";
    QTest::newRow("no-break space kept")
        << QStringLiteral("Rua\u00a05") << QStringLiteral("Rua\u00a05");
}

void TestTextBox::multiLineTextComesBackWithCrLf() {
    QFETCH(QString, stored);
    QFETCH(QString, text);
    MultiLineBox box;
    box.SetText(stored);
    QCOMPARE(box.Text(), text);
    QCOMPARE(box.document()->blockCount(), static_cast<int>(text.count(QLatin1String("\r\n"))) + 1);

    // Shift+Enter is stored as a line break like Enter.
    box.moveCursor(QTextCursor::End);
    QTest::keyClick(&box, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(box.Text(), text + "\r\n");
}

void TestTextBox::undoAndLoweringTheLimit() {
    MultiLineBox box;
    box.SetMaxLength(5);
    box.SetText(QStringLiteral("ab"));
    box.moveCursor(QTextCursor::End);
    QGuiApplication::clipboard()->setText(QStringLiteral("cdefgh"));
    box.paste();
    QCOMPARE(box.Text(), QStringLiteral("abcde"));
    box.undo();
    QCOMPARE(box.Text(), QStringLiteral("ab"));
    box.redo();
    QCOMPARE(box.Text(), QStringLiteral("abcde"));

    box.SetText(QString());
    QTest::keyClicks(&box, "vwxyz12");
    box.undo();
    QCOMPARE(box.Text(), QString());
    box.redo();
    QCOMPARE(box.Text(), QStringLiteral("vwxyz"));

    // Undo gives back what the program stored, even over the limit.
    box.SetText(QStringLiteral("abcdefgh"));
    box.setTextCursor(QTextCursor(box.document()));
    QTest::keyClick(&box, Qt::Key_Delete);
    box.undo();
    QCOMPARE(box.Text(), QStringLiteral("abcdefgh"));

    LineBox line;
    line.SetMaxLength(3);
    QTest::keyClicks(&line, "abcd");
    line.undo();
    QCOMPARE(line.Text(), QString());

    // Lowering the limit below the text does not cut it either.
    line.SetText(QStringLiteral("abcdef"));
    line.SetMaxLength(1);
    QCOMPARE(line.Text(), QStringLiteral("abcdef"));
}

QTEST_MAIN(TestTextBox)
#include "tst_textbox.moc"
