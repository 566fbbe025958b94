#pragma once

#include <QString>

namespace quillbox::desktop {

// The request without any parameter that asks the mail program to attach a file: "attach" or
// "attachment", in any case of letters, percent-encoded or not, with or without a value. Mail
// programs have attached files named so, unasked, to a message for whoever the address names.
// A parameter runs from a '?' or '&' (raw or percent-encoded) to the next one, a ',' or the end,
// wherever it stands. A ',' starts the next address of a send list, which may hold a '?' of its
// own: the text from a ',' to the next separator is an address and, like the text before the
// first separator, is left as it is, so no recipient goes with a dropped parameter. Each dropped
// parameter goes with the separator before it, and a '?' so lost passes to the next kept
// parameter of the same address. A request without one comes back unchanged, byte for byte.
QString withoutAttachments(const QString& request);

} // namespace quillbox::desktop
