#pragma once

#include <QString>

#include <stdexcept>

namespace quillbox::data {

// The layer's own error numbers. SQLite's failures keep SQLite's extended result code; these
// lie where no SQLite result code does, so a number alone tells which side raised it.
namespace error {
inline constexpr int InvalidUseOfNull = 94;        // a Null converted to text or a number
inline constexpr int UpdateWithoutEdit = 3020;     // Update or Collect with no Edit or AddNew
inline constexpr int NoCurrentRecord = 3021;       // before the first or past the last record
inline constexpr int FileNotFound = 3024;          // the database file is not there
inline constexpr int BadCriteria = 3077;           // a FindFirst criterion of another form
inline constexpr int TableNotFound = 3078;         // the file lacks one of the two tables
inline constexpr int FieldNotUpdatable = 3164;     // writing the record number
inline constexpr int RecordDeleted = 3167;         // the current record is no longer stored
inline constexpr int FieldNotFound = 3265;         // no field of that name
inline constexpr int Overflow = 3349;              // a number beyond the 32 bits of its use
inline constexpr int BadFieldDefinition = 3409;    // a field that cannot serve its purpose
inline constexpr int TypeMismatch = 3464;          // text where a number is needed
inline constexpr int NotAFile = 3044;              // a folder or device where the file should be

// Of SQLite's codes: another connection held the file (SQLITE_BUSY, SQLITE_LOCKED), and the
// file is no database (SQLITE_NOTADB).
bool busy(int number);
bool notADatabase(int number);
// The file refuses the value written (over the length limit, against a constraint); another
// value may still go in, unlike after a full disk or a lost lock.
bool valueRefused(int number);
} // namespace error

// A failure of the database engine: a number and a description for the user. Windows never
// catch it themselves; it travels to the one engine-error path, which shows it and ends the
// program.
class EngineError : public std::runtime_error {
public:
    EngineError(int number, const QString& description);

    int number() const noexcept { return number_; }
    const QString& description() const noexcept { return description_; }

private:
    int number_;
    QString description_;
};

} // namespace quillbox::data
