#pragma once

#include <QLatin1String>
#include <QStringView>

namespace quillbox::text {

// Whether an e-mail value, put after "mailto:", would carry URL parameters (a subject, a body, a
// file to attach...) rather than be an address alone: a '?', or "%3F" in either case, which the
// mail hand-over and mail programs read as a '?' too.
inline bool carriesUrlParameters(QStringView email) {
    return email.contains(u'?') || email.contains(QLatin1String("%3F"), Qt::CaseInsensitive);
}

} // namespace quillbox::text
