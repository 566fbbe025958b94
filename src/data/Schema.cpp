#include "Schema.h"

namespace quillbox::data::schema {

QStringList requiredFields(const QString& table) {
    if (table == Addresses)
        return {Number, Name, Phone, Address, Email};
    if (table == Player)
        return {Senha, WantPassword};
    return {};
}

const char* const createSql = R"sql(
CREATE TABLE Addresses (
    Number  INTEGER PRIMARY KEY AUTOINCREMENT,
    Name    TEXT,
    Phone   TEXT,
    Address TEXT,
    email   TEXT
);
CREATE INDEX AddressesByName ON Addresses (Name);
CREATE TABLE Player (
    Senha        TEXT,
    WantPassword INTEGER
);
INSERT INTO Player (Senha, WantPassword) VALUES ('', 0);
)sql";

} // namespace quillbox::data::schema
