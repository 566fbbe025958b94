#pragma once

#include <QString>

namespace quillbox::desktop {

// Whether an e-mail value, put after "mailto:", would carry URL parameters (subject, body, a
// file to attach...) rather than be an address alone: a '?', or "%3F", which the mail
// hand-over treats alike (see withoutAttachments).
bool carriesUrlParameters(const QString& email);

} // namespace quillbox::desktop
