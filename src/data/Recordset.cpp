#include "Recordset.h"

#include "Sqlite.h"
#include "os/Posix.h"
#include "text/Utf8.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <utility>
#include <limits>

namespace quillbox::data {

namespace {

// A point access reads a small block; a walk doubles it block by block up to the largest.
constexpr std::size_t firstBlock = 32;
constexpr std::size_t largestBlock = 4096;
// A block stops growing at this many bytes of text, whatever the file holds.
constexpr std::size_t blockBytes = 8u << 20;

// The coarse clock costs a few nanoseconds, which matters when it is read per field.
std::int64_t nowMs() { return os::coarseClockMs(); }

std::string quoted(const QString& identifier) {
    QString q = identifier;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return '"' + q.toStdString() + '"';
}

[[noreturn]] void noCurrentRecord(const QString& table) {
    throw EngineError(error::NoCurrentRecord,
                      QStringLiteral("No current record in the table '%1'.").arg(table));
}

[[noreturn]] void recordDeleted() {
    throw EngineError(error::RecordDeleted,
                      QStringLiteral("The record is deleted: it is no longer in the file."));
}

} // namespace

Recordset::Recordset(std::shared_ptr<Database> db, TableInfo table, QString asked)
    : db_(std::move(db)), table_(std::move(table)), asked_(std::move(asked)),
      origins_(static_cast<std::size_t>(table_.columns.size()), nullptr),
      projectedAt_(static_cast<std::size_t>(table_.columns.size()), -1) {
    MoveFirst();
}

Recordset::~Recordset() = default;

int Recordset::column(const QString& name) const {
    const int col = table_.indexOf(name);
    if (col < 0)
        throw EngineError(error::FieldNotFound,
                          QStringLiteral("Item not found in this collection: the table '%1' has "
                                         "no field '%2'.")
                              .arg(table_.name, name));
    return col;
}

const char* Recordset::blockSql(Fetch how) {
    if (sql_.empty()) {
        std::string select = "SELECT rowid";
        for (int col : projection_)
            select += ", " + quoted(table_.columns[col]);
        select += " FROM " + quoted(table_.name);
        sql_ = {select + " ORDER BY rowid LIMIT ?1",
                select + " ORDER BY rowid DESC LIMIT ?1",
                select + " WHERE rowid > ?2 ORDER BY rowid LIMIT ?1",
                select + " WHERE rowid < ?2 ORDER BY rowid DESC LIMIT ?1",
                select + " WHERE rowid >= ?2 ORDER BY rowid LIMIT ?1"};
    }
    return sql_[static_cast<std::size_t>(how)].c_str();
}

// A damaged table can hand its records back out of order, and SQLite does not always notice: a
// walk that trusted the order could then come back to a record it had passed, and never end.
bool Recordset::inScanOrder(Fetch how, std::int64_t from, std::int64_t rowid) const {
    const bool descending = how == Fetch::Last || how == Fetch::Before;
    if (!rowids_.empty())
        return descending ? rowid < rowids_.back() : rowid > rowids_.back();
    switch (how) {
    case Fetch::After:
        return rowid > from;
    case Fetch::AtOrAfter:
        return rowid >= from;
    case Fetch::Before:
        return rowid < from;
    default:
        return true;
    }
}

std::size_t Recordset::loadBlock(Fetch how, std::int64_t from, std::size_t limit) {
    rowids_.clear();
    cells_.clear();
    arena_.clear();
    index_.reset();

    const std::size_t width = projection_.size();
    {
        sqlite::Use s(db_->cached(blockSql(how)));
        s->bind(1, static_cast<std::int64_t>(limit));
        if (how != Fetch::First && how != Fetch::Last)
            s->bind(2, from);
        bool first = true;
        while (arena_.size() < blockBytes && s->step()) {
            if (first) {
                // Read inside the query's own read transaction: the block and the version
                // belong to the same state of the file.
                dataVersion_ = db_->dataVersion();
                first = false;
            }
            const std::int64_t rowid = s->int64(0);
            if (!inScanOrder(how, from, rowid))
                outOfOrder();
            rowids_.push_back(rowid);
            for (std::size_t k = 0; k < width; ++k) {
                const int at = static_cast<int>(k) + 1;
                Cell c{s->columnType(at), 0, 0.0, 0, 0};
                if (c.type == SQLITE_INTEGER) {
                    c.i = s->int64(at);
                } else if (c.type == SQLITE_FLOAT) {
                    c.d = s->real(at);
                } else if (c.type != SQLITE_NULL) {
                    const std::string_view text = s->text(at);
                    c.type = SQLITE_TEXT;
                    c.offset = static_cast<std::uint32_t>(arena_.size());
                    c.length = static_cast<std::uint32_t>(text.size());
                    arena_.append(text);
                }
                cells_.push_back(c);
            }
        }
        if (first)
            dataVersion_ = db_->dataVersion();
    }
    generation_ = Database::writeGeneration();
    checkedAt_ = nowMs();

    if (how == Fetch::Last || how == Fetch::Before) {
        std::reverse(rowids_.begin(), rowids_.end());
        for (std::size_t lo = 0, hi = rowids_.size(); width && lo + 1 < hi; ++lo, --hi)
            std::swap_ranges(cells_.begin() + static_cast<std::ptrdiff_t>(lo * width),
                             cells_.begin() + static_cast<std::ptrdiff_t>((lo + 1) * width),
                             cells_.begin() + static_cast<std::ptrdiff_t>((hi - 1) * width));
    }
    return rowids_.size();
}

void Recordset::outOfOrder() {
    invalidateBlock();
    throw EngineError(SQLITE_CORRUPT,
                      QStringLiteral("'%1': database disk image is malformed: the records of the "
                                     "table '%2' are out of order.")
                          .arg(QFileInfo(db_->fileName()).absoluteFilePath(), table_.name));
}

bool Recordset::blockFresh() {
    if (!index_ || generation_ != Database::writeGeneration())
        return false;
    // A move has just checked the block (or read it); the first read after it needs no second
    // look at the clock. This halves the checks of a walk.
    if (std::exchange(justLanded_, false))
        return true;
    const std::int64_t now = nowMs();
    if (now - checkedAt_ < trustMs)
        return true;
    if (db_->dataVersion() != dataVersion_)
        return false;
    checkedAt_ = now;
    return true;
}

void Recordset::invalidateBlock() {
    index_.reset();
    rowids_.clear();
    cells_.clear();
    arena_.clear();
}

void Recordset::landOnBlockRow(std::size_t index) {
    index_ = index;
    rowid_ = rowids_[index];
    bof_ = eof_ = deleted_ = false;
    justLanded_ = true;
}

void Recordset::setEmptyPosition(bool bof, bool eof) {
    bof_ = bof;
    eof_ = eof;
    deleted_ = false;
    index_.reset();
}

void Recordset::requireCurrent() const {
    if (bof_ || eof_)
        noCurrentRecord(table_.name);
    if (deleted_)
        recordDeleted();
}

int Recordset::RecordCount() {
    const std::string sql = "SELECT count(*) FROM " + quoted(table_.name);
    sqlite::Use s(db_->cached(sql));
    s->step();
    return static_cast<int>(std::min<std::int64_t>(s->int64(0), std::numeric_limits<int>::max()));
}

void Recordset::MoveFirst() {
    mode_ = Mode::None;
    nextBlock_ = firstBlock;
    if (loadBlock(Fetch::First, 0, nextBlock_) == 0)
        setEmptyPosition(true, true);
    else
        landOnBlockRow(0);
}

void Recordset::MoveLast(int /*options*/) {
    mode_ = Mode::None;
    nextBlock_ = firstBlock;
    if (loadBlock(Fetch::Last, 0, nextBlock_) == 0)
        setEmptyPosition(true, true);
    else
        landOnBlockRow(rowids_.size() - 1);
}

void Recordset::MoveNext() {
    if (eof_)
        noCurrentRecord(table_.name);
    if (bof_) {
        MoveFirst();
        return;
    }
    mode_ = Mode::None;
    const bool inBlock = index_ && !deleted_;
    justLanded_ = false;
    if (inBlock && *index_ + 1 < rowids_.size() && blockFresh()) {
        landOnBlockRow(*index_ + 1);
        return;
    }
    // Running off the end of a block is a walk: read more at a time.
    nextBlock_ = inBlock && *index_ + 1 == rowids_.size() ? std::min(nextBlock_ * 2, largestBlock)
                                                          : firstBlock;
    if (loadBlock(Fetch::After, rowid_, nextBlock_) == 0)
        setEmptyPosition(false, true);
    else
        landOnBlockRow(0);
}

void Recordset::MovePrevious() {
    if (eof_) {
        MoveLast();
        return;
    }
    if (bof_)
        noCurrentRecord(table_.name);
    mode_ = Mode::None;
    const bool inBlock = index_ && !deleted_;
    justLanded_ = false;
    if (inBlock && *index_ > 0 && blockFresh()) {
        landOnBlockRow(*index_ - 1);
        return;
    }
    nextBlock_ = inBlock && *index_ == 0 ? std::min(nextBlock_ * 2, largestBlock) : firstBlock;
    if (loadBlock(Fetch::Before, rowid_, nextBlock_) == 0)
        setEmptyPosition(true, false);
    else
        landOnBlockRow(rowids_.size() - 1);
}

void Recordset::ReadToEnd(const QString& textField, const QString& numberField, NameList& into,
                          bool byText) {
    const int textCol = column(textField), numberCol = column(numberField);
    mode_ = Mode::None;
    if (eof_)
        return;
    requireCurrent();
    const bool numberIsRowid = numberCol == table_.key;
    std::string sql = "SELECT rowid, " + quoted(table_.columns[textCol]);
    if (!numberIsRowid)
        sql += ", " + quoted(table_.columns[numberCol]);
    // From the first record no record need be left out: the index is read without looking at
    // every row's record number twice.
    const bool fromFirst = [&] {
        sqlite::Use s(db_->cached("SELECT min(rowid) FROM " + quoted(table_.name)));
        return s->step() && s->int64(0) >= rowid_;
    }();
    sql += " FROM " + quoted(table_.name) + (fromFirst ? "" : " WHERE rowid >= ?1") + " ORDER BY ";
    sql += byText ? quoted(table_.columns[textCol]) + ", rowid" : "rowid";
    // Plain text and a 32-bit whole number are taken as they are; anything else goes through
    // Value, whose conversion gives the result or the error that a field read would.
    const auto converted = [this](Value v, const QString& field) {
        v.setOrigin(Value::originOf(asked_, field));
        return v;
    };
    std::int64_t last = rowid_;
    {
        // Not through the file's memory map: the rows come scattered over the file, and every
        // page mapped in for one stays in the process with its neighbours, the whole file by the
        // end (150 MB for a million contacts, held for the life of the window). Read plainly,
        // they pass through SQLite's own small cache.
        const std::int64_t mapped = [&] {
            sqlite::Use size(db_->cached("PRAGMA mmap_size"));
            return size->step() ? size->int64(0) : 0;
        }();
        // Only speed is at stake: a failure to set the map changes nothing else.
        const auto map = [this](std::int64_t bytes) {
            const std::string pragma = "PRAGMA mmap_size=" + std::to_string(bytes);
            sqlite3_exec(db_->handle(), pragma.c_str(), nullptr, nullptr, nullptr);
        };
        struct MapAgain {
            std::function<void()> map;
            ~MapAgain() { map(); }
        } const mapAgain{[&] { map(mapped); }};
        map(0);
        sqlite::Use s(db_->cached(sql));
        if (!fromFirst)
            s->bind(1, rowid_);
        bool first = true;
        while (s->step()) {
            const std::int64_t rowid = s->int64(0);
            if (!byText && (first ? rowid < last : rowid <= last))
                outOfOrder();
            first = false;
            last = std::max(last, rowid);
            const bool plainText = s->columnType(1) == SQLITE_TEXT;
            const QString otherText =
                plainText ? QString() : converted(s->value(1), textField).toText();
            const bool whole = numberIsRowid || s->columnType(2) == SQLITE_INTEGER;
            const std::int64_t n = numberIsRowid ? rowid : s->int64(2);
            const std::int32_t number =
                whole && n >= std::numeric_limits<std::int32_t>::min() &&
                        n <= std::numeric_limits<std::int32_t>::max()
                    ? static_cast<std::int32_t>(n)
                    : converted(numberIsRowid ? Value(rowid) : s->value(2), numberField).toInt32();
            if (plainText) {
                // Decoded straight into the list: no string made and dropped for each record.
                const std::string_view utf8 = s->text(1);
                char16_t* out = into.appendRaw(utf8.size(), number);
                const char16_t* end = text::decodeUtf8(
                    out, QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
                into.shortenLast(utf8.size() - static_cast<std::size_t>(end - out));
            } else {
                into.append(otherText, number);
            }
        }
    }
    rowid_ = last;
    invalidateBlock();
    setEmptyPosition(false, true);
}

void Recordset::FindFirst(const QString& criteria) {
    static const QRegularExpression form(QStringLiteral("^(\\w+)=([ -])(\\d+)$"));
    const QRegularExpressionMatch m = form.match(criteria);
    if (!m.hasMatch())
        throw EngineError(error::BadCriteria,
                          QStringLiteral("The criterion \"%1\" is not of the form \"Field= 17\".")
                              .arg(criteria));
    const int col = column(m.captured(1));
    bool ok = false;
    const QString digits = m.captured(2).trimmed() + m.captured(3);
    const std::int64_t wanted = digits.toLongLong(&ok);
    if (!ok)
        throw EngineError(error::Overflow,
                          QStringLiteral("Overflow: %1 is beyond any record number.").arg(digits));
    FindFirst(table_.columns[col], Value(wanted));
}

void Recordset::FindFirst(const QString& field, const Value& equals) {
    const int col = column(field);
    mode_ = Mode::None;
    const auto* number = std::get_if<std::int64_t>(&equals.storage());
    std::int64_t rowid = number ? *number : 0;
    bool found = true;
    if (col != table_.key || !number) {
        // SQLite's "=" on text is the exact comparison: case and blanks count, Null equals
        // nothing. With an index on the field this is one lookup, not a walk.
        const std::string sql = "SELECT rowid FROM " + quoted(table_.name) + " WHERE " +
                                quoted(table_.columns[col]) + " = ?1 ORDER BY rowid LIMIT 1";
        sqlite::Use s(db_->cached(sql));
        s->bind(1, equals);
        found = s->step();
        if (found)
            rowid = s->int64(0);
    }
    nextBlock_ = firstBlock;
    found = found && loadBlock(Fetch::AtOrAfter, rowid, nextBlock_) > 0 && rowids_[0] == rowid;
    noMatch_ = !found;
    if (found)
        landOnBlockRow(0);
    else
        invalidateBlock(); // the current record stays where it was
}

Value Recordset::cellValue(const Cell& c) const {
    switch (c.type) {
    case SQLITE_INTEGER:
        return Value(c.i);
    case SQLITE_FLOAT:
        return Value(c.d);
    case SQLITE_TEXT:
        return Value(
            text::fromUtf8(QByteArrayView(arena_.data() + c.offset, static_cast<qsizetype>(c.length))));
    default:
        return {};
    }
}

const Recordset::Cell& Recordset::currentCell(int col) {
    if (projectedAt_[static_cast<std::size_t>(col)] < 0) {
        projectedAt_[static_cast<std::size_t>(col)] = static_cast<int>(projection_.size());
        projection_.push_back(col);
        sql_.clear();
        index_.reset();
    }
    if (!blockFresh()) {
        const std::size_t n = std::max(rowids_.size(), firstBlock);
        if (loadBlock(Fetch::AtOrAfter, rowid_, n) == 0 || rowids_[0] != rowid_) {
            invalidateBlock();
            recordDeleted();
        }
        index_ = 0;
    }
    return cells_[*index_ * projection_.size() +
                  static_cast<std::size_t>(projectedAt_[static_cast<std::size_t>(col)])];
}

Value Recordset::Fields(const QString& name) {
    const int col = column(name);
    const auto at = static_cast<std::size_t>(col);
    Value v = [&] {
        if (mode_ != Mode::None) {
            if (pending_[at])
                return *pending_[at];
            if (mode_ == Mode::AddNew && col == table_.key)
                return Value(newNumber_);
            return stored_[at];
        }
        requireCurrent();
        if (col == table_.key)
            return Value(rowid_);
        return cellValue(currentCell(col));
    }();
    if (!origins_[at])
        origins_[at] = Value::originOf(asked_, name);
    v.setOrigin(origins_[at]);
    return v;
}

std::int64_t Recordset::reserveNumber() {
    // The reservation is a committed write of its own: the number is taken in the file before
    // the record exists, so no other connection or process can be handed it, and deleting the
    // record later never frees it (the file's sequence only grows).
    sqlite::WriteTransaction tx(db_->handle());
    std::int64_t sequence = 0;
    bool hasSequence = false;
    {
        sqlite::Use s(db_->cached("SELECT seq FROM sqlite_sequence WHERE name = ?1"));
        s->bind(1, Value(table_.name));
        if (s->step()) {
            hasSequence = true;
            sequence = s->int64(0);
        }
    }
    std::int64_t highest = 0;
    {
        sqlite::Use s(db_->cached("SELECT max(rowid) FROM " + quoted(table_.name)));
        s->step();
        highest = s->int64(0);
    }
    const std::int64_t next = std::max({sequence, highest, std::int64_t{0}}) + 1;
    if (next > std::numeric_limits<std::int32_t>::max())
        throw EngineError(error::Overflow,
                          QStringLiteral("Overflow: the table '%1' has used up its record numbers.")
                              .arg(table_.name));
    {
        sqlite::Use s(db_->cached(
            hasSequence ? "UPDATE sqlite_sequence SET seq = ?2 WHERE name = ?1"
                        : "INSERT INTO sqlite_sequence (name, seq) VALUES (?1, ?2)"));
        s->bind(1, Value(table_.name));
        s->bind(2, next);
        s->step();
    }
    tx.commit();
    return next;
}

void Recordset::AddNew() {
    mode_ = Mode::None;
    const auto width = static_cast<std::size_t>(table_.columns.size());
    pending_.assign(width, std::nullopt);
    stored_.assign(width, Value());
    if (table_.key >= 0)
        newNumber_ = reserveNumber();
    mode_ = Mode::AddNew;
}

void Recordset::Edit() {
    mode_ = Mode::None;
    requireCurrent();
    std::string sql = "SELECT ";
    for (int i = 0; i < table_.columns.size(); ++i)
        sql += (i ? ", " : "") + quoted(table_.columns[i]);
    sql += " FROM " + quoted(table_.name) + " WHERE rowid = ?1";
    sqlite::Use s(db_->cached(sql));
    s->bind(1, rowid_);
    if (!s->step())
        recordDeleted();
    stored_.clear();
    for (int i = 0; i < table_.columns.size(); ++i)
        stored_.push_back(s->value(i));
    pending_.assign(stored_.size(), std::nullopt);
    mode_ = Mode::Edit;
}

void Recordset::Collect(const QString& name, const Value& value) {
    if (mode_ == Mode::None)
        throw EngineError(error::UpdateWithoutEdit,
                          QStringLiteral("A field was set without AddNew or Edit."));
    const int col = column(name);
    if (col == table_.key)
        throw EngineError(error::FieldNotUpdatable,
                          QStringLiteral("The field '%1' cannot be updated: the file assigns it.")
                              .arg(table_.columns[col]));
    pending_[static_cast<std::size_t>(col)] = value;
}

void Recordset::Update(int type, bool /*force*/) {
    if (mode_ == Mode::None)
        throw EngineError(error::UpdateWithoutEdit,
                          QStringLiteral("Update without AddNew or Edit."));
    if (type != 1)
        throw EngineError(error::UpdateWithoutEdit,
                          QStringLiteral("Update of type %1 is not supported.").arg(type));
    std::vector<int> set;
    for (std::size_t i = 0; i < pending_.size(); ++i)
        if (pending_[i])
            set.push_back(static_cast<int>(i));
    const Mode mode = mode_;
    mode_ = Mode::None;
    if (mode == Mode::Edit && set.empty())
        return;

    std::string sql;
    if (mode == Mode::Edit) {
        sql = "UPDATE " + quoted(table_.name) + " SET ";
        for (std::size_t i = 0; i < set.size(); ++i)
            sql += (i ? ", " : "") + quoted(table_.columns[set[i]]) + " = ?" + std::to_string(i + 1);
        sql += " WHERE rowid = ?" + std::to_string(set.size() + 1);
    } else {
        std::string names, params;
        if (table_.key >= 0)
            set.insert(set.begin(), table_.key);
        for (std::size_t i = 0; i < set.size(); ++i) {
            names += (i ? ", " : "") + quoted(table_.columns[set[i]]);
            params += (i ? ", ?" : "?") + std::to_string(i + 1);
        }
        sql = "INSERT INTO " + quoted(table_.name) +
              (set.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + params + ")");
    }

    sqlite::WriteTransaction tx(db_->handle());
    {
        sqlite::Use s(db_->cached(sql));
        int p = 1;
        for (int col : set) {
            if (col == table_.key)
                s->bind(p++, newNumber_);
            else
                s->bind(p++, *pending_[static_cast<std::size_t>(col)]);
        }
        if (mode == Mode::Edit)
            s->bind(p, rowid_);
        s->step();
    }
    if (mode == Mode::Edit && sqlite3_changes(db_->handle()) == 0)
        recordDeleted(); // removed by someone else since Edit; nothing is written
    tx.commit();
    Database::bumpWriteGeneration();
}

void Recordset::Delete() {
    mode_ = Mode::None;
    requireCurrent();
    sqlite::WriteTransaction tx(db_->handle());
    {
        sqlite::Use s(db_->cached("DELETE FROM " + quoted(table_.name) + " WHERE rowid = ?1"));
        s->bind(1, rowid_);
        s->step();
    }
    if (sqlite3_changes(db_->handle()) == 0)
        recordDeleted();
    tx.commit();
    deleted_ = true;
    invalidateBlock();
    Database::bumpWriteGeneration();
}

} // namespace quillbox::data
