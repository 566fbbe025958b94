// The sorted list: its order in the user's collation, the item data that travels with each
// entry, Fill giving what adding one by one gives, and a Click for each user's pick and none for
// the program's own changes.

#include "windows/common/ListBox.h"

#include <QCollator>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTextDocument>
#include <QToolTip>
#include <QtTest>

using quillbox::windows::ListBox;

namespace {

// Adds each name in turn, giving it its position in `names` as its datum.
void addAll(ListBox& list, const QStringList& names) {
    for (int i = 0; i < names.size(); ++i) {
        list.AddItem(names[i]);
        QCOMPARE(list.List(list.NewIndex()), names[i]);
        list.SetItemData(list.NewIndex(), i);
    }
}

quillbox::data::NameList entriesOf(const QStringList& names) {
    quillbox::data::NameList entries;
    for (int i = 0; i < names.size(); ++i)
        entries.append(names[i], i);
    return entries;
}

// From "text=datum" items.
quillbox::data::NameList entriesOf(const QString& items) {
    quillbox::data::NameList entries;
    for (const QString& item : items.split(u' ', Qt::SkipEmptyParts))
        entries.append(item.section(u'=', 0, 0), item.section(u'=', 1).toInt());
    return entries;
}

// "text=datum" for every entry, in order.
QStringList contents(const ListBox& list) {
    QStringList result;
    for (int i = 0; i < list.ListCount(); ++i)
        result << list.List(i) + u'=' + QString::number(list.ItemData(i));
    return result;
}

} // namespace

class TestListBox : public QObject {
    Q_OBJECT

private slots:
    // Case-insensitive in the user's collation (English where the locale is C); equal names keep
    // the order added. CTest runs this under C.UTF-8 and under a Swedish locale.
    void sortedOrder_data() {
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("listedInSwedish");
        auto row = [](const char* name, const QStringList& added, const char* listed,
                      const char* swedish = nullptr) {
            QTest::newRow(name) << added << listed << (swedish ? swedish : listed);
        };
        row("unordered", {"Smith", "Brown", "Clark"}, "Brown=1 Clark=2 Smith=0");
        row("case ignored", {"bob", "Alice", "carl", "Bea"}, "Alice=1 Bea=3 bob=0 carl=2");
        row("equal names", {"Ann", "Zed", "ann", "Ann"}, "Ann=0 ann=2 Ann=3 Zed=1");
        row("empty name first", {"Kim", "", "Abe"}, "=1 Abe=2 Kim=0");
        row("Å", {"Zoe", "Bert", "Åsa", "Anna"}, "Anna=3 Åsa=2 Bert=1 Zoe=0", "Anna=3 Bert=1 Zoe=0 Åsa=2");
        row("É", {"Frank", "Émile", "Zack", "Eve"}, "Émile=1 Eve=3 Frank=0 Zack=2");
    }
    void sortedOrder() {
        QFETCH(QStringList, added);
        QFETCH(QString, listed);
        QFETCH(QString, listedInSwedish);
        const QLocale::Language language = QLocale().collation().language();
        if (language == QLocale::Swedish)
            listed = listedInSwedish;
        else if (language != QLocale::English && language != QLocale::C)
            QSKIP("another locale: another order");
        ListBox list;
        addAll(list, added);
        QCOMPARE(contents(list).join(u' '), listed);
        QCOMPARE(list.ListIndex(), -1);
    }

    // Fill sorts in bulk while AddItem places one name at a time: the two must never disagree.
    void fillEqualsAddingOneByOne() {
        const QStringList parts{"an", "An", "ÅS", "é", "E", "o", "Ö", "b", "-", " ", "ss", "ß", "ø"};
        QRandomGenerator random(20240611);
        QStringList names;
        for (int i = 0; i < 2000; ++i) {
            QString name;
            for (int n = random.bounded(1, 4); n > 0; --n)
                name += parts[random.bounded(static_cast<int>(parts.size()))];
            names << name;
        }
        for (const QStringList& given : {names, QStringList{"Moe", "Nia", "Abe"}}) {
            ListBox added, filled;
            addAll(added, given);
            filled.AddItem("left over");
            filled.SetListIndex(0);
            filled.Fill(entriesOf(given));
            QCOMPARE(contents(filled), contents(added));
            QCOMPARE(filled.NewIndex(), added.NewIndex()); // where the last one given went
            QCOMPARE(filled.ListIndex(), -1);
        }
    }

    // Merge ends where Fill would, with the rows that differ inserted and removed and the rest
    // left alone: the selection follows its item data, the top entry of the view stays on top.
    void mergeEndsAsFill_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("selected"); // "text=datum", or empty for none
        QTest::addColumn<QString>("after");    // as given to Merge and to Fill
        QTest::addColumn<QString>("selectedAfter");
        QTest::addColumn<int>("touched"); // rows inserted and removed; -1: not counted
        const QString abc = "Ann=1 Bob=2 Cy=3";
        QTest::newRow("add") << abc << "Bob=2" << "Cy=3 Bea=4 Ann=1 Bob=2" << "Bob=2" << 1;
        QTest::newRow("remove") << abc << "Cy=3" << "Ann=1 Cy=3" << "Cy=3" << 1;
        QTest::newRow("rename, moving") << abc << "Ann=1" << "Ann=1 Zed=2 Cy=3" << "Ann=1" << 2;
        QTest::newRow("selected renamed") << abc << "Bob=2" << "Ann=1 Abe=2 Cy=3" << "Abe=2" << 2;
        QTest::newRow("selected removed") << abc << "Bob=2" << "Ann=1 Cy=3" << "" << 1;
        QTest::newRow("nothing changed") << abc << "Cy=3" << abc << "Cy=3" << 0;
        QTest::newRow("case only") << abc << "" << "ann=1 Bob=2 Cy=3" << "" << 2;
        QTest::newRow("empty to full") << "" << "" << "Cy=3 Ann=1 Bob=2" << "" << 3;
        QTest::newRow("full to empty") << abc << "Ann=1" << "" << "" << 3;
        QTest::newRow("equal names in record order")
            << "Ann=1 Ann=3 Bob=2" << "Ann=3" << "Ann=1 Ann=2 Ann=3" << "Ann=3" << 2;
        QTest::newRow("equal names in another order")
            << "Ann=3 Ann=1 ann=2" << "" << "Ann=1 ann=2 Ann=3" << "" << 2;
        // Random lists with many equal names, and most entries in both.
        QRandomGenerator random(20261208);
        for (int n = 0; n < 3; ++n) {
            const QStringList parts{"an", "An", "å", "b", " ", "É", "e"};
            QStringList before, after;
            for (int i = 0; i < 300; ++i) {
                const QString item = parts[random.bounded(7)] + parts[random.bounded(7)] + u'=' +
                                     QString::number(random.bounded(40));
                const int fate = random.bounded(10);
                if (fate > 0)
                    before << item;
                if (fate < 9)
                    after.insert(random.bounded(after.size() + 1), item);
            }
            QTest::addRow("random %d", n) << before.join(u' ') << "" << after.join(u' ') << "" << -1;
        }
    }
    void mergeEndsAsFill() {
        QFETCH(QString, before);
        QFETCH(QString, selected);
        QFETCH(QString, after);
        QFETCH(QString, selectedAfter);
        QFETCH(int, touched);
        ListBox list, filled;
        list.Fill(entriesOf(before));
        list.SetListIndex(static_cast<int>(contents(list).indexOf(selected)));
        filled.Fill(entriesOf(after));
        QSignalSpy inserted(list.model(), &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(list.model(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(list.model(), &QAbstractItemModel::modelReset);
        QSignalSpy clicks(&list, &ListBox::Click);
        list.Merge(entriesOf(after));
        QCOMPARE(contents(list), contents(filled));
        QCOMPARE(list.NewIndex(), filled.NewIndex());
        QCOMPARE(list.ListIndex() < 0 ? QString() : contents(list)[list.ListIndex()], selectedAfter);
        int rows = 0;
        for (const QSignalSpy* spy : {&inserted, &removed})
            for (const QList<QVariant>& signal : *spy)
                rows += signal[2].toInt() - signal[1].toInt() + 1;
        if (touched >= 0)
            QCOMPARE(rows, touched);
        QCOMPARE(reset.count() + clicks.count(), 0);
    }

    // The entry at the top of a scrolled list stays there while entries come and go above it.
    void mergeKeepsTheTopEntry() {
        QStringList items;
        for (int i = 10; i < 60; ++i)
            items << QStringLiteral("%1=%1").arg(i);
        ListBox list;
        list.Fill(entriesOf(items.join(u' ')));
        list.resize(100, 80);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        list.scrollTo(list.model()->index(20, 0), QAbstractItemView::PositionAtTop);
        items.removeAt(3);
        items << "0=0" << "1=1" << "2=2";
        list.Merge(entriesOf(items.join(u' ')));
        QCOMPARE(list.List(list.indexAt(QPoint(0, 0)).row()), QStringLiteral("30"));
    }

    void removeItemAndClear() {
        ListBox list;
        addAll(list, {"Dee", "Bo", "Cy", "Al"});
        list.AddItem("Ed");
        list.SetListIndex(2);
        list.RemoveItem(1);
        QCOMPARE(contents(list).join(u' '), QStringLiteral("Al=3 Cy=2 Dee=0 Ed=0"));
        QCOMPARE(list.ListIndex(), -1);
        QCOMPARE(list.List(list.NewIndex()), QStringLiteral("Ed")); // still names the same entry
        list.RemoveItem(list.NewIndex());
        QCOMPARE(list.NewIndex(), -1);
        list.RemoveItem(7);
        list.RemoveItem(-1);
        list.SetListIndex(3);
        QCOMPARE(list.ListIndex(), -1);
        QCOMPARE(list.ListCount(), 3);
        list.SetListIndex(2);
        QCOMPARE(list.ListIndex(), 2);
        list.Clear();
        QCOMPARE(list.ListCount() + list.ListIndex() + list.ItemData(0), -1);
        QCOMPARE(list.List(0), QString());
    }

    // One Click per pick by mouse or keyboard, also of the entry already selected; none for a
    // click below the entries, for the right button, or for the program's own changes.
    void clickOncePerUserAction_data() {
        QTest::addColumn<int>("before");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<int>("after");
        QTest::newRow("click an entry") << -1 << "click 2" << 1 << 2;
        QTest::newRow("click the selected entry") << 1 << "click 1" << 1 << 1;
        QTest::newRow("ctrl+click the selected entry") << 1 << "ctrl 1" << 1 << 1;
        QTest::newRow("click below the entries") << 1 << "click -1" << 0 << 1;
        QTest::newRow("right click, then Space") << 1 << "right 2" << 0 << 1;
        QTest::newRow("double-click an entry") << 0 << "double 2" << 1 << 2;
        QTest::newRow("down arrow") << 0 << "key down" << 1 << 1;
        QTest::newRow("end key") << 0 << "key end" << 1 << 3;
        QTest::newRow("typing a letter") << 0 << "key c" << 1 << 2;
        QTest::newRow("the program's changes") << 0 << "program" << 0 << 1;
    }
    void clickOncePerUserAction() {
        QFETCH(int, before);
        QFETCH(QString, action);
        QFETCH(int, clicks);
        QFETCH(int, after);
        ListBox list;
        addAll(list, {"Ada", "Ben", "Cleo", "Dan"});
        list.resize(200, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        list.SetListIndex(before);
        QSignalSpy spy(&list, &ListBox::Click);
        QWidget* view = list.viewport();
        const int row = action.section(u' ', 1).toInt();
        const QPoint at = row < 0 ? QPoint(20, view->height() - 5)
                                  : list.visualRect(list.model()->index(row, 0)).center();
        if (action.startsWith("click") || action.startsWith("ctrl")) {
            QTest::mouseClick(view, Qt::LeftButton,
                              action.startsWith("ctrl") ? Qt::ControlModifier : Qt::NoModifier, at);
        } else if (action.startsWith("right")) {
            QTest::mouseClick(view, Qt::RightButton, {}, at);
            QTest::keyClick(&list, Qt::Key_Space); // would select it, had it become current
        } else if (action.startsWith("double")) {
            // A real double-click: press, release, double-click, release.
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                            QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
                const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
                QMouseEvent event(type, at, view->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
                QCoreApplication::sendEvent(view, &event);
            }
        } else if (action.startsWith("key")) {
            const QString key = action.section(u' ', 1);
            if (key == "c")
                QTest::keyClick(&list, 'c');
            else
                QTest::keyClick(&list, key == "down" ? Qt::Key_Down : Qt::Key_End);
        } else {
            list.AddItem("Aaron");
            list.SetListIndex(-1);
            list.SetListIndex(2);
            list.RemoveItem(2);
            list.Fill(entriesOf({"X", "Y"}));
            list.SetListIndex(1);
        }
        QCOMPARE(spy.count(), clicks);
        QCOMPARE(list.ListIndex(), after);
    }

    // Typing finds the next entry that begins with what was typed as the list sorts it: case and
    // accents aside where the collation sorts a letter with its base letter (not Ö in Swedish).
    void typeToFind_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("foundInSwedish");
        auto row = [](const char* name, const char* typed, const char* found, const char* sv) {
            QTest::newRow(name) << typed << found << sv;
        };
        row("plain", "ca", "Carter", "Carter");
        row("accent in the name", "zu", "Zúñiga", "Zúñiga");
        row("accent on the first letter", "em", "Émile", "Émile");
        row("past a name with an apostrophe", "oz", "Özdemir", "O'Brien");
        row("accent typed", "Ö", "O'Brien", "Özdemir");
        row("case", "ZÚ", "Zúñiga", "Zúñiga");
        row("no such name", "q", "Zeta", "Zeta");
    }
    void typeToFind() {
        QFETCH(QString, typed);
        QFETCH(QString, found);
        QFETCH(QString, foundInSwedish);
        ListBox list;
        addAll(list, {"Özdemir", "Zúñiga", "Carter", "Zeta", "O'Brien", "Eve", "Émile"});
        for (int i = 0; i < list.ListCount(); ++i) // searches start past it, and go round
            if (list.List(i) == "Zeta")
                list.SetListIndex(i);
        QTest::keyClicks(&list, typed);
        const bool swedish = QLocale().collation().language() == QLocale::Swedish;
        QCOMPARE(list.List(list.ListIndex()), swedish ? foundInSwedish : found);
    }

    // An entry cut short offers its whole text as a tooltip, shown as written, never as markup;
    // one that would show nothing is drawn greyed as the blank text, though its text stays empty.
    void cutAndBlankEntries_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("blank");
        QTest::addColumn<bool>("tip");
        QTest::newRow("short") << "Ann" << false << false;
        QTest::newRow("cut") << "Wolfeschlegelsteinhausenbergerdorff, Hubert" << false << true;
        QTest::newRow("markup") << "<b>Wolfeschlegelsteinhausen</b> &amp; <img src=x>" << false
                                << true;
        QTest::newRow("empty") << "" << true << false;
        QTest::newRow("blanks and a byte-order mark") << " \uFEFF\t" << true << false;
    }
    void cutAndBlankEntries() {
        QFETCH(QString, name);
        QFETCH(bool, blank);
        QFETCH(bool, tip);
        ListBox list;
        list.AddItem(name);
        list.resize(120, 60);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QWidget* view = list.viewport();
        const QRect row = list.visualRect(list.model()->index(0, 0));
        const auto drawn = [&] { return view->grab(row).toImage(); };
        const QImage bare = drawn();
        list.SetBlankText("(no name)");
        QCOMPARE(drawn() == bare, !blank);
        QCOMPARE(list.List(0), name);

        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QTipLabel"))
                w->hide();
        QHelpEvent help(QEvent::ToolTip, row.center(), view->mapToGlobal(row.center()));
        QCoreApplication::sendEvent(view, &help);
        QCOMPARE(QToolTip::isVisible(), tip);
        QTextDocument shown;
        shown.setHtml(QToolTip::text());
        if (tip)
            QCOMPARE(shown.toPlainText(), name);
    }

    // Whatever the sort does to be fast (a table of ASCII letters, two threads), its order is that
    // of the plain definition: a stable sort by the locale's collator, case ignored, with
    // punctuation and blanks counted; and adding the names one by one gives the same list.
    void fillSortsAsPlainStableSortByCollator_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QLocale>("collation"); // what the list must sort by under `locale`
        QTest::newRow("C, sorted as English")
            << QLocale::c() << QLocale(QLocale::English, QLocale::UnitedStates);
        // Locales whose rules move plain letters or pairs of them: Å, Ä, Ö after Z; "aa" as Å;
        // "ch" after "h"; "cs", "gy", "sz" as letters; I apart from i; V and W as one letter.
        for (const char* name : {"en_US", "sv_SE", "da_DK", "cs_CZ", "hu_HU", "tr_TR", "fi_FI",
                                 "cy_GB", "de_DE", "fr_FR", "ru_RU", "ja_JP"})
            QTest::newRow(name) << QLocale(QString::fromLatin1(name)) << QLocale(QString::fromLatin1(name));
    }
    void fillSortsAsPlainStableSortByCollator() {
        QFETCH(QLocale, locale);
        QFETCH(QLocale, collation);
        const QStringList parts{
            "Smith", "smith", "SMITH", "Aaron", "aa", "Ch", "ch", "h", "Cs", "gy", "Sz", "lj", "ll",
            "v", "W", "w", "i", "I", "İ", "ı", "z", "Z", "Å", "å", "Ä", "ö", "Ø", "æ", "ß", "ss",
            "é", "e\u0301", "É", "Zoë", "Łukasz", "Đức", "-", "'", ".", " ", "  ", ",", "0", "9",
            "10", "Иван", "Ёлка", "Ελένη", "王", "山田", "やまだ", "김", "محمد", "נועה", "प्रिया",
            "\u00a0", "\u200b", "\t", "~", "_", "@", "O'Brien", "Mc", "Mac", "van der", "=\u0338",
            "Christopher", "Christophe", "ChristopherX", ">", "|", "ſ", "ŀ", "ŉ", "đ", "þ", "Œ", "ç", "Ç"};
        QRandomGenerator random(20261207);
        QStringList names{QString()};
        for (int i = 0; i < 3000; ++i) {
            QString name;
            for (int n = random.bounded(1, 5); n > 0; --n)
                name += parts[random.bounded(static_cast<int>(parts.size()))];
            names << name;
        }
        // The empty name sorts first even when given after one of only ignored characters.
        names << "\u200b" << QString();
        QStringList expected;
        for (int i = 0; i < names.size(); ++i)
            expected << names[i] + u'=' + QString::number(i);
        QCollator collator(collation);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::stable_sort(expected.begin(), expected.end(), [&](const QString& a, const QString& b) {
            return collator.compare(a.section(u'=', 0, -2), b.section(u'=', 0, -2)) < 0;
        });
        const QLocale before;
        QLocale::setDefault(locale);
        ListBox list, added;
        list.Fill(entriesOf(names));
        addAll(added, names);
        QLocale::setDefault(before);
        QCOMPARE(contents(list), expected);
        QCOMPARE(contents(added), expected);
    }
};

QTEST_MAIN(TestListBox)
#include "tst_listbox.moc"
