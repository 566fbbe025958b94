#pragma once

#include <QString>
#include <QUrl>

namespace quillbox::sync {

// The one form every href takes once it has come through CardDavClient, and the form the
// engine compares stored hrefs in: an absolute path whose segments are percent-decoded and
// encoded again the same way (every byte but A-Z a-z 0-9 - . _ ~ as %XX in upper case). So
// `/b/A:B.vcf`, `/b/A%3aB.vcf` and `/b/A%3AB.vcf` are one href, and the form is ASCII and can
// be put in a URL as it is.
//
// Gives an empty string for what names no card safely: not an absolute path; a dot segment
// in any spelling (`..`, `%2e%2E`); an empty segment but the last (`//host/` would name a
// server); a query or fragment; a bad escape; or, once decoded, a control character, `/` or
// `\` inside a segment (servers that decode those could climb out of the book).
QString normalHref(const QString& href);

// The normal form of `href` as written in an answer to a request for `asked`: an absolute
// URL, a path, or a path relative to `asked` (RFC 4918 allows each). Empty when it names
// another scheme, host or port than `asked`, carries user information, or normalHref refuses
// its path.
QString resolveHref(const QUrl& asked, const QString& href);

// Same scheme, host and port, an absent port counting as the scheme's own.
bool sameOrigin(const QUrl& a, const QUrl& b);

// `path` (normal) lies inside `collection` (normal, ending in '/') and is not the collection.
bool isInside(const QString& path, const QString& collection);

} // namespace quillbox::sync
