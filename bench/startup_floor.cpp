// startup_floor: the plainest program that does Quillbox's start-up work, as the floor that
// bench_startup holds Quillbox against. It opens senha.scc in the current folder, reads the
// settings record, reads every Number and Name with one query (SQLite answers it from the name
// index, so the names come almost sorted), sorts the names as the list does (the user's
// collation, English where that is C, case ignored) by QCollator::compare in std::stable_sort on
// one core, and shows them in a QListView over a list model in a QMainWindow.
//
// With --controls it is the plain window instead: the same, with Quillbox's menus and the
// controls of its main window around the list, made with stock Qt widgets at fixed places and
// nothing fitted, as a reference for what such a screen costs in Qt itself.

#include <QAbstractListModel>
#include <QApplication>
#include <QCollator>
#include <QFile>
#include <QListView>
#include <QLocale>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Entry {
    QString name;
    int number;
};

class Model : public QAbstractListModel {
public:
    Model(std::vector<Entry> entries, QObject* parent)
        : QAbstractListModel(parent), entries_(std::move(entries)) {}
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(entries_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        return entries_[static_cast<size_t>(index.row())].name;
    }

private:
    std::vector<Entry> entries_;
};

// Quillbox's main window, in pixels: its captions, boxes and buttons where it puts them.
void addControls(QMainWindow& window, QListView* list) {
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("File"));
    file->addAction(QStringLiteral("Hide"));
    QMenu* options = file->addMenu(QStringLiteral("Options"));
    for (const char* item : {"Remove Password Protection", "Password Protect", "Change Password",
                             "Make E-mail List"})
        options->addAction(QString::fromLatin1(item));
    file->addAction(QStringLiteral("Exit"));
    QMenu* help = window.menuBar()->addMenu(QStringLiteral("Help"));
    QMenu* howTo = help->addMenu(QStringLiteral("How to..."));
    for (const char* item :
         {"Add a Person", "Update a Person's Information", "Delete a Person",
          "Remove Password Protection", "Password Protect", "Send an E-mail to One Address",
          "Send an E-mail to Multiple Addresses", "Add All E-mail Addresses", "Change Password",
          "Make AOL your Default E-mail Application"})
        howTo->addAction(QString::fromLatin1(item));
    help->addAction(QStringLiteral("About Quillbox"));

    auto* client = new QWidget(&window);
    window.setCentralWidget(client);
    enum Kind { Label, Line, Text, Button };
    struct Control {
        Kind kind;
        const char* caption;
        int x, y, w, h;
        bool shown = true; // the send list's panel shows only when asked for
    };
    static const Control controls[] = {
        {Button, "Add New", 48, 8, 65, 25},         {Label, "Last Name, First Name", 8, 40, 113, 17},
        {Line, "", 8, 56, 161, 25},                 {Label, "E-mail Address", 8, 88, 89, 17},
        {Line, "", 8, 104, 161, 25},                {Label, "Phone Number", 8, 136, 105, 17},
        {Line, "", 8, 152, 161, 25},                {Label, "Address", 8, 184, 73, 17},
        {Text, "", 8, 200, 161, 73},                {Button, "Clear Fields", 48, 280, 81, 25},
        {Button, "Update", 248, 8, 65, 25},         {Label, "Last Name, First Name", 184, 40, 113, 17},
        {Line, "", 184, 56, 201, 25},               {Label, "E-mail Address", 184, 88, 73, 17},
        {Button, "copy", 264, 88, 33, 17},          {Button, "send", 304, 88, 33, 17},
        {Button, "add", 344, 88, 33, 17},           {Line, "", 184, 104, 201, 25},
        {Label, "Phone Number", 184, 136, 97, 17},  {Button, "copy", 264, 136, 33, 17},
        {Line, "", 184, 152, 201, 25},              {Label, "Address", 184, 184, 81, 17},
        {Button, "copy", 264, 184, 33, 17},         {Text, "", 184, 200, 201, 73},
        {Button, "Clear Fields", 240, 280, 89, 25},
        {Label, "Click on an entry below to view or edit contact information.", 408, 8, 105, 41},
        {Button, "Delete", 392, 280, 73, 25},       {Button, "Exit", 472, 280, 57, 25},
        {Text, "", 8, 328, 209, 49, false},         {Button, "Send", 248, 344, 49, 25, false},
        {Button, "Clear", 312, 344, 49, 25, false}, {Button, "Add Everybody", 376, 344, 89, 25, false},
        {Button, "Done", 480, 344, 49, 25, false},
    };
    for (const Control& c : controls) {
        const QString caption = QString::fromLatin1(c.caption);
        QWidget* w = nullptr;
        switch (c.kind) {
        case Label: {
            auto* label = new QLabel(caption, client);
            label->setWordWrap(caption.size() > 30);
            w = label;
            break;
        }
        case Line:
            w = new QLineEdit(client);
            break;
        case Text:
            w = new QPlainTextEdit(client);
            break;
        case Button:
            w = new QPushButton(caption, client);
            break;
        }
        w->setGeometry(c.x, c.y, c.w, c.h);
        w->setVisible(c.shown);
    }
    list->setParent(client);
    list->setGeometry(392, 56, 137, 212);
}

[[noreturn]] void fail(sqlite3* db) {
    std::fprintf(stderr, "startup_floor: %s\n", sqlite3_errmsg(db));
    std::exit(1);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);

    sqlite3* db = nullptr;
    if (sqlite3_open_v2("senha.scc", &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        fail(db);
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT WantPassword FROM Player", -1, &s, nullptr) != SQLITE_OK ||
        sqlite3_step(s) != SQLITE_ROW)
        fail(db);
    const bool protectionOn = sqlite3_column_double(s, 0) > 0;
    sqlite3_finalize(s);
    if (protectionOn) {
        std::fprintf(stderr, "startup_floor: the file asks for a password\n");
        return 1;
    }

    std::vector<Entry> entries;
    if (sqlite3_prepare_v2(db, "SELECT Number, Name FROM Addresses", -1, &s, nullptr) != SQLITE_OK)
        fail(db);
    while (sqlite3_step(s) == SQLITE_ROW)
        entries.push_back(
            {QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 1)),
                               sqlite3_column_bytes(s, 1)),
             sqlite3_column_int(s, 0)});
    sqlite3_finalize(s);

    QLocale locale = QLocale().collation();
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        return collator.compare(a.name, b.name) < 0;
    });

    QMainWindow window;
    auto* list = new QListView(&window);
    list->setUniformItemSizes(true);
    list->setModel(new Model(std::move(entries), list));
    if (argc > 1 && qstrcmp(argv[1], "--controls") == 0) {
        addControls(window, list);
        window.resize(536, 312 + window.menuBar()->sizeHint().height());
    } else {
        window.setCentralWidget(list);
        window.resize(640, 480);
    }
    window.show();
    const int status = app.exec();
    sqlite3_close(db);
    return status;
}
