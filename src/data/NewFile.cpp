#include "NewFile.h"

#include "Connection.h"
#include "SampleContacts.h"
#include "Schema.h"
#include "Sqlite.h"

namespace quillbox::data {

void fillNewFile(const QString& emptyFile, std::int64_t contacts, std::uint64_t seed,
                 const std::function<void(std::int64_t done)>& beforeBatch) {
    Connection db(emptyFile, Access::ReadWrite);
    sqlite3* h = db.handle();
    {
        // Set, not assumed: the file must leave here a plain rollback-journal database, and each
        // commit must be on disk when it returns.
        sqlite::exec(h, "PRAGMA journal_mode=DELETE");
        sqlite::exec(h, "PRAGMA synchronous=FULL");
        // The name index takes names in random order; a roomy cache keeps a million of them quick.
        sqlite::exec(h, "PRAGMA cache_size=-65536");

        sqlite::WriteTransaction transaction(h);
        sqlite::exec(h, schema::createSql);
        if (contacts > 0) {
            // Number is left out: the file hands out the record numbers and keeps sqlite_sequence.
            sqlite::Statement insert(h, "INSERT INTO Addresses (Name, Phone, Address, email) "
                                        "VALUES (?1, ?2, ?3, ?4)");
            SampleContacts generator(seed);
            SampleContact c;
            for (std::int64_t i = 0; i < contacts; ++i) {
                if (i % 4096 == 0 && beforeBatch)
                    beforeBatch(i);
                generator.next(c);
                sqlite::Use s(insert);
                s->bindText(1, c.name);
                s->bindText(2, c.phone);
                s->bindText(3, c.address);
                s->bindText(4, c.email);
                s->step();
            }
        }
        transaction.commit();
    }
    db.close();
}

} // namespace quillbox::data
