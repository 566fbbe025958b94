// The text boxes' length limit holds for whatever the user puts in (typing, keys with text,
// Enter, paste, drop, input methods), never cuts an emoji in half, and leaves what the program
// stored whole; the multi-line box gives lines back with CR LF.

#include "windows/common/TextBox.h"

#include <QClipboard>
#include <QMimeData>
#include <QTextBlock>
#include <QtTest>

using quillbox::windows::LineBox;
using quillbox::windows::MultiLineBox;

namespace {

constexpr int atEnd = -1, allSelected = -2;

// Sets up a box of either kind, lets the user act ('t'ype, 'k'ey with text, 'e'nter, 'p'aste,
// 'd'rop, 'c'ompose, a key with 'a'lt, Ctrl+'A'lt or 'C'trl) and gives back its text.
template <class Box>
QString afterUser(int limit, const QString& initial, int cursor, char action, const QString& input) {
    Box box;
    box.resize(300, 120);
    box.show();
    if (!QTest::qWaitForWindowExposed(&box))
        return QStringLiteral("(not shown)");
    box.SetMaxLength(limit);
    box.SetText(initial);
    if (cursor == allSelected) {
        box.selectAll();
    } else if constexpr (std::is_same_v<Box, LineBox>) {
        box.setCursorPosition(cursor == atEnd ? static_cast<int>(box.text().size()) : cursor);
    } else {
        QTextCursor moved(box.document());
        moved.setPosition(cursor == atEnd ? box.document()->characterCount() - 1 : cursor);
        box.setTextCursor(moved);
    }
    QWidget* target = &box;
    QPoint at(box.width() - 4, box.height() / 2);
    if constexpr (std::is_same_v<Box, MultiLineBox>)
        target = box.viewport(), at = box.cursorRect().center();
    QMimeData mime;
    mime.setText(input);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QInputMethodEvent preedit(input, {}), commit;
    commit.setCommitString(input);
    switch (action) {
    case 't':
        QTest::keyClicks(&box, input);
        break;
    case 'k':
        QTest::sendKeyEvent(QTest::Press, &box, Qt::Key_unknown, input, Qt::NoModifier);
        break;
    case 'e':
        QTest::keyClick(&box, Qt::Key_Return);
        break;
    case 'p':
        QGuiApplication::clipboard()->setText(input);
        box.paste();
        break;
    case 'd':
        for (QEvent* e : std::initializer_list<QEvent*>{&enter, &move, &drop})
            QCoreApplication::sendEvent(target, e);
        break;
    case 'c':
        QCoreApplication::sendEvent(&box, &preedit);
        QCoreApplication::sendEvent(&box, &commit);
        break;
    case 'a':
        QTest::keyClick(&box, input.front().toLatin1(), Qt::AltModifier);
        break;
    case 'A':
        QTest::keyClick(&box, input.front().toLatin1(), Qt::AltModifier | Qt::ControlModifier);
        break;
    case 'C':
        QTest::keyClick(&box, input.front().toLatin1(), Qt::ControlModifier);
        break;
    }
    return box.Text();
}

} // namespace

class TestTextBox : public QObject {
    Q_OBJECT

private slots:
    void limitHolds_data() {
        QTest::addColumn<bool>("multiLine");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("initial");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<char>("action");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        const QString grin = QStringLiteral("\U0001F600"); // two UTF-16 code units
        for (const bool multi : {false, true}) {
            const auto row = [multi](const char* name) -> QTestData& {
                return QTest::addRow("%s: %s", multi ? "multi" : "line", name) << multi;
            };
            row("typing stops at the limit") << 5 << "" << atEnd << 't' << "abcdefg" << "abcde";
            row("no limit") << 0 << "" << atEnd << 'p' << QString(40000, u'x') << QString(40000, u'x');
            row("paste more than fits") << 5 << "ab" << atEnd << 'p' << "cdefgh" << "abcde";
            row("paste into the middle") << 6 << "abcd" << 2 << 'p' << "XYZ" << "abXYcd";
            row("paste over a selection") << 5 << "abcde" << allSelected << 'p' << "123456789" << "12345";
            row("paste cut inside an emoji") << 4 << "ab" << atEnd << 'p' << "c" + grin + "d" << "abc";
            row("emoji key one short of room") << 3 << "ab" << atEnd << 'k' << grin << "ab";
            row("an emoji takes two, what follows the rest") << 5 << "" << atEnd << 'p' << grin + "abcd" << grin + "abc";
            row("drop more than fits") << 5 << "ab" << atEnd << 'd' << "cdefgh" << "abcde";
            row("composed text cut inside an emoji") << 4 << "ab" << atEnd << 'c' << "c" + grin << "abc";
            // What the program stored comes in whole, and the user cannot make it longer.
            row("typing into a stored text over the limit") << 3 << "abcdefgh" << 1 << 't' << "xy" << "abcdefgh";
            row("deleting from it makes no room") << 3 << "abcdefgh" << 1 << 't' << "\bxy" << "bcdefgh";
            // A key held with Alt or Ctrl types nothing; the box's own editing keys still work.
            row("Alt with a letter") << 0 << "ab" << atEnd << 'a' << "f" << "ab";
            row("Ctrl+Alt with a letter") << 0 << "ab" << atEnd << 'A' << "f" << "ab";
            row("Ctrl+Backspace deletes a word") << 0 << "ab cd" << atEnd << 'C' << "\b" << "ab ";
        }
        QTest::newRow("line: a cut would split an emoji") << false << 3 << "ab" + grin << 1 << 't' << "xy" << "ab" + grin;
        // A line break is stored as CR LF, so it takes two of the limit.
        QTest::newRow("multi: stored lines over the limit") << true << 3 << "ab\r\ncd" << 1 << 't' << "xy" << "ab\r\ncd";
        QTest::newRow("multi: Enter counts two") << true << 5 << "abc" << atEnd << 'e' << "" << "abc\r\n";
        QTest::newRow("multi: Enter does not fit in one") << true << 4 << "abc" << atEnd << 'e' << "" << "abc";
        QTest::newRow("multi: pasted break counts two") << true << 5 << "" << atEnd << 'p' << "ab\ncd" << "ab\r\nc";
        QTest::newRow("multi: pasted CR LF is one break") << true << 6 << "" << atEnd << 'p' << "ab\r\ncd" << "ab\r\ncd";
        QTest::newRow("multi: Tab is not typed") << true << 0 << "" << atEnd << 't' << "a\tb" << "ab";
    }
    void limitHolds() {
        QFETCH(bool, multiLine);
        QFETCH(int, limit);
        QFETCH(QString, initial);
        QFETCH(int, cursor);
        QFETCH(char, action);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(multiLine ? afterUser<MultiLineBox>(limit, initial, cursor, action, input)
                           : afterUser<LineBox>(limit, initial, cursor, action, input),
                 expected);
    }

    void multiLineTextComesBackWithCrLf_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("text");
        QTest::newRow("CR LF") << "one\r\ntwo\r\n" << "one\r\ntwo\r\n";
        QTest::newRow("lone LF") << "one\ntwo" << "one\r\ntwo";
        QTest::newRow("no-break space kept") << QStringLiteral("Rua\u00a05") << QStringLiteral("Rua\u00a05");
    }
    void multiLineTextComesBackWithCrLf() {
        QFETCH(QString, stored);
        QFETCH(QString, text);
        MultiLineBox box;
        box.SetText(stored);
        QCOMPARE(box.Text(), text);
        QCOMPARE(box.document()->blockCount(), int(text.count(QLatin1String("\r\n"))) + 1);
        box.moveCursor(QTextCursor::End);
        QTest::keyClick(&box, Qt::Key_Return, Qt::ShiftModifier); // a line break like Enter
        QCOMPARE(box.Text(), text + "\r\n");
    }

    // The send list's box keeps a long line in pieces, each break standing for a blank; what
    // comes out is always the text as the user and the program put it in.
    void longLineInPieces() {
        MultiLineBox box;
        box.SetLongLinesInPieces(true);
        QString text;
        for (int i = 0; i < 300; ++i)
            text += QStringLiteral("%1person%2@example.com").arg(i ? ", " : "").arg(i);
        text += QStringLiteral("\r\nlast  line ");
        box.SetText(text);
        QVERIFY(box.document()->blockCount() > 3);
        QCOMPARE(box.Text(), text);
        // Backspace at a piece's start takes the blank it stands for.
        const int firstBreak = box.document()->findBlockByNumber(1).position() - 1;
        QCOMPARE(text[firstBreak], u' ');
        box.setTextCursor(QTextCursor(box.document()->findBlockByNumber(1)));
        QTest::keyClick(&box, Qt::Key_Backspace);
        text.remove(firstBreak, 1);
        QCOMPARE(box.Text(), text);
        box.moveCursor(QTextCursor::End);
        QTest::keyClick(&box, Qt::Key_Return);
        QTest::keyClicks(&box, QStringLiteral("x y"));
        text += QStringLiteral("\r\nx y");
        QCOMPARE(box.Text(), text);
        box.selectAll();
        box.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString(text).replace("\r\n", "\n"));
        box.SetText(QString());
        box.paste();
        QCOMPARE(box.Text(), text);
        box.undo();
        QCOMPARE(box.Text(), QString());
    }

    // Undo only goes back to states the limit let through, or to what the program stored;
    // lowering the limit below the text does not cut it either.
    void undoAndLoweringTheLimit() {
        MultiLineBox box;
        box.SetMaxLength(5);
        QTest::keyClicks(&box, "vwxyz12");
        box.undo();
        QCOMPARE(box.Text(), QString());
        box.redo();
        QCOMPARE(box.Text(), QStringLiteral("vwxyz"));
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
        line.SetText(QStringLiteral("abcdef"));
        line.SetMaxLength(1);
        QCOMPARE(line.Text(), QStringLiteral("abcdef"));
    }
};

QTEST_MAIN(TestTextBox)
#include "tst_textbox.moc"
