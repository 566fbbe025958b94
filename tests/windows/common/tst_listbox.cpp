#include "windows/common/ListBox.h"

#include <QCollator>
#include <QLocale>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

using quillbox::windows::ListBox;

namespace {

// Adds each name in turn, giving it its position in `names` as its datum.
void addAll(ListBox& list, const QStringList& names) {
    for (int i = 0; i < names.size(); ++i) {
        list.AddItem(names[i]);
        QCOMPARE(list.List(list.NewIndex()), names[i]);
        QCOMPARE(list.ItemData(list.NewIndex()), 0);
        list.SetItemData(list.NewIndex(), i);
    }
}

std::vector<ListBox::Entry> entriesOf(const QStringList& names) {
    std::vector<ListBox::Entry> entries;
    for (int i = 0; i < names.size(); ++i)
        entries.push_back({names[i], i});
    return entries;
}

QStringList texts(const ListBox& list) {
    QStringList result;
    for (int i = 0; i < list.ListCount(); ++i)
        result << list.List(i);
    return result;
}

QList<qint32> data(const ListBox& list) {
    QList<qint32> result;
    for (int i = 0; i < list.ListCount(); ++i)
        result << list.ItemData(i);
    return result;
}

// Mouse actions take a row (-1: below the last entry); the others are keys.
enum class Action { Click, CtrlClick, RightClickThenSpace, DoubleClick, Down, Up, End, LetterC };

} // namespace

class TestListBox : public QObject {
    Q_OBJECT

private slots:
    void addItemKeepsSortedOrderAndData_data();
    void addItemKeepsSortedOrderAndData();
    void fillEqualsAddingOneByOne_data();
    void fillEqualsAddingOneByOne();
    void removeItemAndClear();
    void clickOncePerUserAction_data();
    void clickOncePerUserAction();
    void noClickForProgramChanges();
    void sortsInTheUsersCollation_data();
    void sortsInTheUsersCollation();
    void fillSortsAsPlainStableSortByCollator_data();
    void fillSortsAsPlainStableSortByCollator();
};

void TestListBox::addItemKeepsSortedOrderAndData_data() {
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QList<qint32>>("itemData");
    QTest::newRow("unordered") << QStringList{"Smith", "Brown", "Clark"}
                               << QStringList{"Brown", "Clark", "Smith"} << QList<qint32>{1, 2, 0};
    QTest::newRow("reversed") << QStringList{"Dave", "Carl", "Bob", "Al"}
                              << QStringList{"Al", "Bob", "Carl", "Dave"}
                              << QList<qint32>{3, 2, 1, 0};
    QTest::newRow("case ignored") << QStringList{"bob", "Alice", "carl", "Bea"}
                                  << QStringList{"Alice", "Bea", "bob", "carl"}
                                  << QList<qint32>{1, 3, 0, 2};
    QTest::newRow("equal names keep the order added")
        << QStringList{"Ann", "Zed", "Ann", "Ann"} << QStringList{"Ann", "Ann", "Ann", "Zed"}
        << QList<qint32>{0, 2, 3, 1};
    // No "i" in these: Turkish rightly sorts "I" apart from it.
    QTest::newRow("names equal but for case keep the order added")
        << QStringList{"moore", "Adams", "Moore", "MOORE"}
        << QStringList{"Adams", "moore", "Moore", "MOORE"} << QList<qint32>{1, 0, 2, 3};
    QTest::newRow("empty name first")
        << QStringList{"Kim", "", "Abe"} << QStringList{"", "Abe", "Kim"} << QList<qint32>{1, 2, 0};
}

void TestListBox::addItemKeepsSortedOrderAndData() {
    QFETCH(QStringList, added);
    QFETCH(QStringList, listed);
    QFETCH(QList<qint32>, itemData);
    ListBox list;
    QCOMPARE(list.NewIndex(), -1);
    addAll(list, added);
    QCOMPARE(texts(list), listed);
    QCOMPARE(data(list), itemData);
    QCOMPARE(list.ListIndex(), -1);
}

void TestListBox::fillEqualsAddingOneByOne_data() {
    QTest::addColumn<QStringList>("names");
    QTest::newRow("none") << QStringList{};
    QTest::newRow("last given sorts first") << QStringList{"Moe", "Nia", "Abe"};

    // Fill sorts by collation keys while AddItem compares texts: the two must never disagree.
    const QStringList parts{"an", "An", "ÅS", "é", "E", "o", "Ö", "b", "-", " ", "ss", "ß", "ø"};
    QRandomGenerator random(20240611);
    QStringList names;
    for (int i = 0; i < 2000; ++i) {
        QString name;
        for (int n = random.bounded(1, 4); n > 0; --n)
            name += parts[random.bounded(static_cast<int>(parts.size()))];
        names << name;
    }
    QTest::newRow("many names with accents, case and repeats") << names;
}

void TestListBox::fillEqualsAddingOneByOne() {
    QFETCH(QStringList, names);
    ListBox added;
    addAll(added, names);
    ListBox filled;
    filled.AddItem(QStringLiteral("left over"));
    filled.SetListIndex(0);
    filled.Fill(entriesOf(names));
    QCOMPARE(texts(filled), texts(added));
    QCOMPARE(data(filled), data(added));
    QCOMPARE(filled.NewIndex(), added.NewIndex());
    QCOMPARE(filled.ListIndex(), -1);
}

void TestListBox::removeItemAndClear() {
    ListBox list;
    addAll(list, {"Dee", "Bo", "Cy", "Al"});
    list.AddItem(QStringLiteral("Ed"));
    list.SetListIndex(2);

    list.RemoveItem(1);
    QCOMPARE(texts(list), (QStringList{"Al", "Cy", "Dee", "Ed"}));
    QCOMPARE(data(list), (QList<qint32>{3, 2, 0, 0}));
    QCOMPARE(list.ListIndex(), -1);
    QCOMPARE(list.List(list.NewIndex()), QStringLiteral("Ed"));
    list.RemoveItem(list.NewIndex());
    QCOMPARE(list.NewIndex(), -1);
    list.RemoveItem(7);
    list.RemoveItem(-1);
    QCOMPARE(texts(list), (QStringList{"Al", "Cy", "Dee"}));

    list.SetListIndex(2);
    QCOMPARE(list.ListIndex(), 2);
    list.SetListIndex(3);
    QCOMPARE(list.ListIndex(), -1);
    list.SetListIndex(0);
    list.Clear();
    QCOMPARE(list.ListCount(), 0);
    QCOMPARE(list.ListIndex(), -1);
    QCOMPARE(list.List(0), QString());
    QCOMPARE(list.ItemData(0), 0);
}

void TestListBox::clickOncePerUserAction_data() {
    QTest::addColumn<int>("selectedBefore");
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<int>("selectedAfter");
    QTest::newRow("click an entry") << -1 << Action::Click << 2 << 1 << 2;
    QTest::newRow("click the selected entry") << 1 << Action::Click << 1 << 1 << 1;
    QTest::newRow("ctrl+click the selected entry") << 1 << Action::CtrlClick << 1 << 1 << 1;
    QTest::newRow("click below the entries") << 1 << Action::Click << -1 << 0 << 1;
    QTest::newRow("right click") << 1 << Action::RightClickThenSpace << 2 << 0 << 1;
    QTest::newRow("double-click an entry") << 0 << Action::DoubleClick << 2 << 1 << 2;
    QTest::newRow("double-click the selected entry") << 2 << Action::DoubleClick << 2 << 1 << 2;
    QTest::newRow("down arrow") << 0 << Action::Down << 0 << 1 << 1;
    QTest::newRow("up arrow at the top") << 0 << Action::Up << 0 << 0 << 0;
    QTest::newRow("end key") << 0 << Action::End << 0 << 1 << 3;
    QTest::newRow("typing a letter") << 0 << Action::LetterC << 0 << 1 << 2;
}

void TestListBox::clickOncePerUserAction() {
    QFETCH(int, selectedBefore);
    QFETCH(Action, action);
    QFETCH(int, row);
    QFETCH(int, clicks);
    QFETCH(int, selectedAfter);
    ListBox list;
    addAll(list, {"Ada", "Ben", "Cleo", "Dan"});
    list.resize(200, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.SetListIndex(selectedBefore);
    QSignalSpy spy(&list, &ListBox::Click);

    QWidget* view = list.viewport();
    const QPoint at = row < 0 ? QPoint(20, view->height() - 5)
                              : list.visualRect(list.model()->index(row, 0)).center();
    switch (action) {
    case Action::Click:
        QTest::mouseClick(view, Qt::LeftButton, {}, at);
        break;
    case Action::CtrlClick:
        QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier, at);
        break;
    case Action::RightClickThenSpace:
        // Space would select the entry, had the right click made it the current one.
        QTest::mouseClick(view, Qt::RightButton, {}, at);
        QTest::keyClick(&list, Qt::Key_Space);
        break;
    case Action::DoubleClick:
        // QTest's double-click is not the press, release, double-click, release of a real one.
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                        QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            const bool up = type == QEvent::MouseButtonRelease;
            QMouseEvent event(type, at, view->mapToGlobal(at), Qt::LeftButton,
                              up ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(view, &event);
        }
        break;
    case Action::Down:
        QTest::keyClick(&list, Qt::Key_Down);
        break;
    case Action::Up:
        QTest::keyClick(&list, Qt::Key_Up);
        break;
    case Action::End:
        QTest::keyClick(&list, Qt::Key_End);
        break;
    case Action::LetterC:
        QTest::keyClick(&list, 'c');
        break;
    }
    QCOMPARE(spy.count(), clicks);
    QCOMPARE(list.ListIndex(), selectedAfter);
}

void TestListBox::noClickForProgramChanges() {
    ListBox list;
    list.resize(200, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QSignalSpy spy(&list, &ListBox::Click);
    addAll(list, {"Ada", "Ben", "Cleo"});
    list.SetListIndex(1);
    list.AddItem(QStringLiteral("Aaron"));
    list.SetListIndex(-1);
    list.SetListIndex(2);
    list.RemoveItem(2);
    list.SetListIndex(0);
    list.Fill(entriesOf({"X", "Y"}));
    list.SetListIndex(1);
    list.Clear();
    QCOMPARE(spy.count(), 0);
}

void TestListBox::sortsInTheUsersCollation_data() {
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QStringList>("listedInSwedish");
    QTest::newRow("Å") << QStringList{"Zoe", "Bert", "Åsa", "Anna"}
                       << QStringList{"Anna", "Åsa", "Bert", "Zoe"}
                       << QStringList{"Anna", "Bert", "Zoe", "Åsa"};
    QTest::newRow("case") << QStringList{"Smith", "Taylor", "Adams", "smith"}
                          << QStringList{"Adams", "Smith", "smith", "Taylor"}
                          << QStringList{"Adams", "Smith", "smith", "Taylor"};
    QTest::newRow("É") << QStringList{"Frank", "Émile", "Zack", "Eve"}
                       << QStringList{"Émile", "Eve", "Frank", "Zack"}
                       << QStringList{"Émile", "Eve", "Frank", "Zack"};
}

// CTest runs this under LANG=C.UTF-8, where `listed` only holds through the fall-back to
// English, and under a Swedish locale, which must be followed rather than English.
void TestListBox::sortsInTheUsersCollation() {
    QFETCH(QStringList, added);
    QFETCH(QStringList, listed);
    QFETCH(QStringList, listedInSwedish);
    const QLocale::Language language = QLocale().collation().language();
    if (language == QLocale::Swedish)
        listed = listedInSwedish;
    else if (language == QLocale::Finnish || language == QLocale::Danish ||
             language == QLocale::NorwegianBokmal || language == QLocale::NorwegianNynorsk)
        QSKIP("this locale sorts Å after Z");
    ListBox list;
    addAll(list, added);
    QCOMPARE(texts(list), listed);
    ListBox filled;
    filled.Fill(entriesOf(added));
    QCOMPARE(texts(filled), listed);
}

void TestListBox::fillSortsAsPlainStableSortByCollator_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QLocale>("collation"); // what the list must sort by under `locale`
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("C, sorted as English") << QLocale::c() << english;
    // Locales whose rules move plain letters or pairs of them: Å, Ä, Ö after Z; "aa" as Å;
    // "ch" after "h"; "cs", "gy", "sz" as letters; I apart from i; V and W as one letter.
    for (const char* name : {"en_US", "sv_SE", "da_DK", "cs_CZ", "hu_HU", "tr_TR", "fi_FI",
                             "cy_GB", "de_DE", "ru_RU", "ja_JP"})
        QTest::newRow(name) << QLocale(QString::fromLatin1(name))
                            << QLocale(QString::fromLatin1(name));
}

// Whatever the sort does to be fast, its order is that of the plain definition: a stable sort
// by the locale's collator, case ignored, with punctuation and blanks counted.
void TestListBox::fillSortsAsPlainStableSortByCollator() {
    QFETCH(QLocale, locale);
    QFETCH(QLocale, collation);
    const QStringList parts{
        "Smith", "smith", "SMITH", "Aaron", "aa", "Ch", "ch", "h", "Cs", "gy", "Sz", "lj", "ll",
        "v", "W", "w", "i", "I", "İ", "ı", "z", "Z", "Å", "å", "Ä", "ö", "Ø", "æ", "ß", "ss",
        "é", "e\u0301", "É", "Zoë", "Łukasz", "Đức", "-", "'", ".", " ", "  ", ",", "0", "9",
        "10", "Иван", "Ёлка", "Ελένη", "王", "山田", "やまだ", "김", "محمد", "נועה", "प्रिया",
        "\u00a0", "\u200b", "\t", "~", "_", "@", "O'Brien", "Mc", "Mac", "van der"};
    QRandomGenerator random(20261207);
    QStringList names{QString()};
    for (int i = 0; i < 3000; ++i) {
        QString name;
        for (int n = random.bounded(1, 5); n > 0; --n)
            name += parts[random.bounded(static_cast<int>(parts.size()))];
        names << name;
    }
    std::vector<ListBox::Entry> expected = entriesOf(names);
    QCollator collator(collation);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(expected.begin(), expected.end(), [&](const auto& a, const auto& b) {
        return collator.compare(a.text, b.text) < 0;
    });

    const QLocale before;
    QLocale::setDefault(locale);
    ListBox list;
    list.Fill(entriesOf(names));
    QLocale::setDefault(before);
    for (int i = 0; i < list.ListCount(); ++i) {
        const auto& e = expected[static_cast<size_t>(i)];
        QCOMPARE(list.List(i), e.text);
        QCOMPARE(list.ItemData(i), e.itemData);
    }
    QCOMPARE(list.ListCount(), names.size());
}

QTEST_MAIN(TestListBox)
#include "tst_listbox.moc"
