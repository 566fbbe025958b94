#pragma once

#include <QString>

namespace quillbox::data {

class Recordset;

// The settings record: the first row of Player, read and written through a record set its
// caller opened on that table (the login, the main window's password commands, the change
// window and check each hold their own).

// Whether the password is asked for at start. Only a number above 0 turns protection on: Null
// is not greater than 0, so an empty flag leaves it off, as 0 and -1 do. A flag that is no
// number raises the EngineError its reading does.
bool protectionOn(Recordset& settings);

// Switches the question at start on (the flag 1) or off (0).
void setProtection(Recordset& settings, bool on);

// Stores `verifier` as the password. The caller makes it: the file never keeps the password.
void storeVerifier(Recordset& settings, const QString& verifier);

} // namespace quillbox::data
