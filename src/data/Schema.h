#pragma once

#include "contact/Contact.h"

#include <QString>
#include <QStringList>

namespace quillbox::data::schema {

// The file the windows open, in the folder the program starts in; never created by them.
inline const QString FileName = QStringLiteral("senha.scc");

// The contacts: their record number, and the field of each of a contact's texts.
inline const QString Addresses = QStringLiteral("Addresses");
inline const QString Number = QStringLiteral("Number");
inline const QString Name = QLatin1String(contact::field::name.column);
inline const QString Phone = QLatin1String(contact::field::phone.column);
inline const QString Address = QLatin1String(contact::field::address.column);
inline const QString Email = QLatin1String(contact::field::email.column);

// The settings record: the password's verifier and whether it is asked for at start.
inline const QString Player = QStringLiteral("Player");
inline const QString Senha = QStringLiteral("Senha");
inline const QString WantPassword = QStringLiteral("WantPassword");

// The longest texts besides a contact's (whose are in contact::fields).
namespace limits {
inline constexpr int password = 40; // the password boxes of the login and change windows
// The longest text or blob any connection to a user's file will make or read, in bytes. A
// contact is a few hundred bytes and a synced card with its photo rarely a megabyte; a value
// past this comes only from a file made to exhaust memory (an index over
// hex(zeroblob(200000000)), say), and is an error at once instead.
inline constexpr int valueBytes = 8 * 1024 * 1024;
} // namespace limits

// The fields each table must have. The program reads and writes them by these names.
QStringList requiredFields(const QString& table);

// The tables of a new file, its one settings record included: protection off and an empty
// password, so that switching protection on without ever setting a password cannot lock the
// user out. "Number" is the table's record number: AUTOINCREMENT, so that a number once handed
// out is never handed out again, even after the contact holding the highest one is deleted.
extern const char* const createSql;

} // namespace quillbox::data::schema

// The tables of a sync with an address-book server, made by the first sync and ignored by the
// program: the state (one row: whose it is, the sync token) and one row per contact kept in
// step with a card. Older versions kept the account itself in the file; that table is only
// ever read to name its server and user.
namespace quillbox::data::schema::sync {
inline constexpr const char* state = "SyncState";
inline constexpr const char* formerAccount = "SyncAccount";
inline constexpr const char* cards = "SyncCards";
} // namespace quillbox::data::schema::sync
