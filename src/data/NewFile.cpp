#include "NewFile.h"

#include "Connection.h"
#include "Contacts.h"
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
            ContactWriter writer(h);
            SampleContacts generator(seed);
            SampleContact c;
            for (std::int64_t i = 0; i < contacts; ++i) {
                if (i % 4096 == 0 && beforeBatch)
                    beforeBatch(i);
                generator.next(c);
                writer.add({c.name, c.email, c.phone, c.address});
            }
        }
        transaction.commit();
    }
    db.close();
}

} // namespace quillbox::data
