#pragma once

#include "Database.h"
#include "NameList.h"
#include "Value.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillbox::data {

// A dynaset over one whole table: a current record that moves through the table in the order
// of the record numbers (SQLite's rowid), fields read and written by name, and changes that are
// in the file, committed, when the call that makes them returns.
//
// Position. Right after opening, the first record is current, or there is none and both Bof()
// and Eof() are true. MoveFirst and MoveLast on an empty set leave it so, without an error: the
// callers empty a table and walk it again without testing first. MoveNext past the last record
// gives Eof(); MovePrevious from there gives the last record again. Moving further out (MoveNext
// at Eof, MovePrevious at Bof) is error 3021.
//
// What the set sees. The scan order is fixed: a record keeps its place between changes, and new
// records come last, because record numbers only grow. The set sees its own additions and
// deletions and those of every other set and connection: moves read the file. Records are read
// in blocks as a walk goes, so a walk over many records costs about one query per block, not
// one per record. A block is used until this process writes anything, or, for changes made by
// other processes, for at most trustMs after the file was last checked; Edit always reads the
// record anew. A field read therefore shows the record as stored at most trustMs ago.
//
// Locks. No statement stays open between calls, so the set holds no lock while idle: another
// copy of the program, or the sqlite3 shell, can always write.
class Recordset {
public:
    static constexpr std::int64_t trustMs = 50;

    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // The number of records stored in the table now.
    int RecordCount();
    // Past the last record ("EOF" itself is a macro of the C library).
    bool Eof() const { return eof_; }
    // Before the first record.
    bool Bof() const { return bof_; }

    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void MoveLast(int options = 0);

    // A walk from the current record to the end in one query: appends to `into` every record's
    // `textField` and `numberField`, as Fields(..).toText() and .toInt32() give them and failing
    // with the same errors. In scan order; or, `byText`, in the binary order of the text, equal
    // texts in scan order (from an index on the field where there is one, which is cheaper to
    // read). The set ends past the last record, as MoveNext leaves it.
    void ReadToEnd(const QString& textField, const QString& numberField, NameList& into,
                   bool byText = false);

    // Makes the first record matching `criteria` current. The criterion has the form
    // "Field=" followed by a blank or a minus sign and decimal digits, e.g. "Number= 17".
    // With no match the current record stays as it was and NoMatch() is true.
    void FindFirst(const QString& criteria);
    // The same for the first record whose field equals `equals`, given as a value rather than
    // spliced into text: for text the comparison is exact (case and blanks count), and Null
    // equals nothing.
    void FindFirst(const QString& field, const Value& equals);
    bool NoMatch() const { return noMatch_; }

    // The value of a field of the current record; during AddNew or Edit, of the open record.
    Value Fields(const QString& name);

    // Begins a new record. A table with a record number gets a new one at once, readable with
    // Fields("Number"); it is unique in the file and never handed out again.
    void AddNew();
    // Opens the current record for change, reading its latest stored values.
    void Edit();
    // Sets a field of the open record.
    void Collect(const QString& name, const Value& value);
    // Stores the open record, writing only the fields set since Edit or AddNew. The current
    // record stays what it was (after AddNew: the one current before it).
    void Update(int type = 1, bool force = false);
    // Removes the current record from the file. It stays current, and unreadable (error 3167),
    // until the next move.
    void Delete();

private:
    friend class Database;
    Recordset(std::shared_ptr<Database> db, TableInfo table, QString asked);

    enum class Fetch { First, Last, After, Before, AtOrAfter };
    struct Cell {
        int type; // SQLITE_NULL, SQLITE_INTEGER, SQLITE_FLOAT or SQLITE_TEXT
        std::int64_t i;
        double d;
        std::uint32_t offset, length; // text bytes in arena_
    };

    int column(const QString& name) const;
    bool blockFresh();
    bool inScanOrder(Fetch how, std::int64_t from, std::int64_t rowid) const;
    std::size_t loadBlock(Fetch how, std::int64_t from, std::size_t limit);
    const char* blockSql(Fetch how);
    void landOnBlockRow(std::size_t index);
    void setEmptyPosition(bool bof, bool eof);
    void requireCurrent() const;
    const Cell& currentCell(int col);
    Value cellValue(const Cell& c) const;
    void invalidateBlock();
    [[noreturn]] void outOfOrder();
    std::int64_t reserveNumber();

    std::shared_ptr<Database> db_;
    TableInfo table_;
    QString asked_; // the table's name as the program spells it, for Value::setOrigin
    std::vector<const Value::Origin*> origins_; // per column, once asked for

    // Position.
    bool bof_ = false, eof_ = false;
    std::int64_t rowid_ = 0;
    bool deleted_ = false;
    bool noMatch_ = false;

    // The block of records read last, in scan order. Only the columns asked for so far are
    // read (a walk that reads "Name" and "Number" does not pay for the addresses).
    std::vector<std::int64_t> rowids_;
    std::vector<Cell> cells_; // rowids_.size() rows of projection_.size() cells
    std::string arena_;
    std::vector<int> projection_;     // table columns held in the block, in cell order
    std::vector<int> projectedAt_;    // table column -> cell index, or -1
    std::optional<std::size_t> index_; // the current record's row in the block
    std::size_t nextBlock_ = 0;
    std::uint64_t generation_ = 0;
    std::int64_t dataVersion_ = 0;
    std::int64_t checkedAt_ = 0;
    bool justLanded_ = false;
    std::vector<std::string> sql_; // prepared block queries for the current projection

    // The open record of AddNew or Edit.
    enum class Mode { None, Edit, AddNew } mode_ = Mode::None;
    std::vector<std::optional<Value>> pending_;
    std::vector<Value> stored_; // Edit: the record as read; AddNew: Nulls
    std::int64_t newNumber_ = 0;
};

} // namespace quillbox::data
