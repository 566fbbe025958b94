#pragma once

#include "errors/UserError.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <utility>

class QNetworkAccessManager;

namespace quillbox::sync {

struct HttpReply {
    int status = 0;
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers; // names in lower case
    QUrl url; // where the answer came from, after redirects on the same server

    QByteArray header(const QByteArray& lowerName) const;
};

using HttpHeaders = QList<std::pair<QByteArray, QByteArray>>;

// An answer longer than HttpClient::maxAnswerBytes, cut off there (a TryLater error, which a
// caller may take as a sign to ask for less).
class AnswerTooLarge : public UserError {
public:
    using UserError::UserError;
};

// Blocking HTTP requests over Qt Network, one at a time, with Basic authentication sent up
// front, for one sync: the run's deadline starts with the object. HTTPS is verified against
// the system's certificates and any added with `caFile`.
//
// A request that cannot be made, is cut short or runs over a bound is a UserError: TryLater
// for an unreachable or slow server, an answer too large or a deadline passed; NeedsUser for a
// certificate that does not verify and a 401. Every other answer, 4xx and 5xx included, comes
// back for the caller to judge. Redirects are followed, keeping the method, only within the
// same scheme, host and port and within `within` (a normal path prefix); another server stops
// with NeedsUser naming the address to give with --url, so that the password never goes
// anywhere the user did not name. User information in a URL is neither sent nor shown.
class HttpClient {
public:
    HttpClient(QString user, QString password, const QString& caFile = {});
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    HttpReply send(const QByteArray& method, const QUrl& url, const QByteArray& body = {},
                   const HttpHeaders& headers = {}, const QString& within = QStringLiteral("/"));

    // Called before every request with its number (1 for the first); may throw to stop the
    // work at that point, as a killed process would.
    std::function<void(int)> beforeRequest;

    // Told once, before the first request, when the password would cross a network in clear.
    std::function<void(const QString&)> warn;

    // The bounds. One answer: a multiget of 250 cards (the batch CardDavClient asks for) of a
    // book whose cards carry phone photos is 10-30 MiB; 64 MiB leaves room for batches of
    // larger photos and for a card at the 8 MiB a value may have in the file, and keeps the
    // answer and its parsed copies within a few hundred MiB. A request may last
    // `requestDeadlineMs` in all, and be silent for `idleTimeoutMs`; the run stops cleanly when
    // `runDeadlineMs` has passed since the object was made (below the unit's start timeout).
    qint64 maxAnswerBytes = qint64(64) << 20;
    int idleTimeoutMs = 60'000;
    int requestDeadlineMs = 5 * 60'000;
    qint64 runDeadlineMs = 20 * 60'000;

private:
    HttpReply sendOnce(const QByteArray& method, const QUrl& url, const QByteArray& body,
                       const HttpHeaders& headers);

    std::unique_ptr<QNetworkAccessManager> manager_;
    QByteArray authorization_;
    QString caFile_;
    QElapsedTimer run_;
    bool warned_ = false;
    int requests_ = 0;
};

// `url` as it may be shown: without user name or password.
QString shownUrl(const QUrl& url);

} // namespace quillbox::sync
