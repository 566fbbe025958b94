#pragma once

#include <QString>

namespace quillbox::shell {

// The request without any parameter that asks the mail program to attach a file: "attach" or
// "attachment", in any case of letters, percent-encoded or not, with or without a value. Mail
// programs have attached files named so, unasked, to a message for whoever the address names.
// A parameter runs from a '?' or '&' (raw or percent-encoded) to the next one or the end,
// wherever it stands: a send list may hold a '?' for every address, and the text before the
// first one is left as it is. Each dropped
// parameter goes with the separator before it, and a '?' so lost passes to the next kept
// parameter. A request without one comes back unchanged, byte for byte.
QString withoutAttachments(const QString& request);

} // namespace quillbox::shell
