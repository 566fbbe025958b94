#include "Schema.h"

namespace quillbox::data::schema {

QStringList requiredFields(const QString& table) {
    if (table == Addresses)
        return {Number, QStringLiteral("Name"), QStringLiteral("Phone"),
                QStringLiteral("Address"), QStringLiteral("email")};
    if (table == Player)
        return {QStringLiteral("Senha"), QStringLiteral("WantPassword")};
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
