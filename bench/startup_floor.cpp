// startup_floor: the plainest program that does Quillbox's start-up work, as the floor that
// bench_startup holds Quillbox against. It opens senha.scc in the current folder, reads the
// settings record, reads every Number and Name with one query (SQLite answers it from the name
// index, so the names come almost sorted), sorts the names as the list does (the user's
// collation, English where that is C, case ignored) by QCollator::compare in std::stable_sort on
// one core, and shows them in a QListView over a list model in a QMainWindow.

#include <QAbstractListModel>
#include <QApplication>
#include <QCollator>
#include <QFile>
#include <QListView>
#include <QLocale>
#include <QMainWindow>

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
    window.setCentralWidget(list);
    window.resize(640, 480);
    window.show();
    const int status = app.exec();
    sqlite3_close(db);
    return status;
}
