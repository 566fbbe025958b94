#pragma once

#include <QByteArray>
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

    QByteArray header(const QByteArray& lowerName) const;
};

using HttpHeaders = QList<std::pair<QByteArray, QByteArray>>;

// Blocking HTTP requests over Qt Network, one at a time, with Basic authentication sent up
// front. HTTPS is verified against the system's certificates and any added with `caFile`.
//
// A request that cannot be made (no route, refused, timed out, a certificate that does not
// verify) and a 401 are a SyncError; every other answer, 4xx and 5xx included, comes back for
// the caller to judge. Redirects are followed on the same host only, keeping the method, so
// that the password never goes anywhere the user did not name.
class HttpClient {
public:
    HttpClient(QString user, QString password, const QString& caFile = {});
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    HttpReply send(const QByteArray& method, const QUrl& url, const QByteArray& body = {},
                   const HttpHeaders& headers = {});

    // How many requests were made so far.
    int requests() const { return requests_; }

    // Called before every request with its number (1 for the first); may throw to stop the
    // work at that point, as a killed process would.
    std::function<void(int)> beforeRequest;

    int timeoutMs = 60000;

private:
    HttpReply sendOnce(const QByteArray& method, const QUrl& url, const QByteArray& body,
                       const HttpHeaders& headers);

    std::unique_ptr<QNetworkAccessManager> manager_;
    QByteArray authorization_;
    QString caFile_;
    int requests_ = 0;
};

} // namespace quillbox::sync
