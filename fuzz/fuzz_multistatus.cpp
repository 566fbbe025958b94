// libFuzzer entry of the multistatus parser and the href resolution behind it: the bytes as an
// answer to a request for /book/. It is read or refused with a UserError, and each href in it
// resolves to nothing or to its own normal form (so no empty or dot segment). Else: abort.

#include "errors/UserError.h"
#include "sync/Href.h"
#include "sync/Multistatus.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillbox::sync;
    using quillbox::UserError;
    try {
        const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
        for (const DavResponse& r : parseMultistatus(body, QStringLiteral("x")).responses) {
            QStringList hrefs{r.href};
            for (const auto& [key, property] : r.properties)
                hrefs += property.hrefs;
            for (const QString& href : hrefs) {
                const QString path = resolveHref(QUrl(QStringLiteral("http://h:1/book/")), href);
                if (!path.isEmpty() && normalHref(path) != path)
                    std::abort();
            }
        }
    } catch (const UserError&) {
    }
    return 0;
}
