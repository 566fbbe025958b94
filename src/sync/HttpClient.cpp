#include "HttpClient.h"

#include "SyncError.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>

namespace quillbox::sync {

QByteArray HttpReply::header(const QByteArray& lowerName) const {
    for (const auto& [name, value] : headers)
        if (name == lowerName)
            return value;
    return {};
}

HttpClient::HttpClient(QString user, QString password, const QString& caFile)
    : manager_(std::make_unique<QNetworkAccessManager>()), caFile_(caFile) {
    authorization_ = "Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64();
    if (!caFile.isEmpty()) {
        QList<QSslCertificate> certificates = QSslCertificate::fromPath(caFile, QSsl::Pem);
        if (certificates.isEmpty())
            certificates = QSslCertificate::fromPath(caFile, QSsl::Der);
        if (certificates.isEmpty())
            throw SyncError(QStringLiteral("no certificate could be read from %1").arg(caFile));
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(certificates);
        QSslConfiguration::setDefaultConfiguration(tls);
    }
}

HttpClient::~HttpClient() = default;

HttpReply HttpClient::send(const QByteArray& method, const QUrl& url, const QByteArray& body,
                           const HttpHeaders& headers) {
    QUrl target = url;
    for (int hops = 0;; ++hops) {
        HttpReply reply = sendOnce(method, target, body, headers);
        const bool redirect = reply.status == 301 || reply.status == 302 ||
                              reply.status == 303 || reply.status == 307 || reply.status == 308;
        if (!redirect || hops == 5)
            return reply;
        const QUrl next = target.resolved(QUrl::fromEncoded(reply.header("location")));
        if (next.host() != target.host() || next.port() != target.port() ||
            (target.scheme() == QLatin1String("https") && next.scheme() != target.scheme()))
            throw SyncError(QStringLiteral("%1 sends us on to %2, another server; give that "
                                           "address with --url if it is the right one")
                                .arg(target.toDisplayString(), next.toDisplayString()));
        target = next;
    }
}

HttpReply HttpClient::sendOnce(const QByteArray& method, const QUrl& url, const QByteArray& body,
                               const HttpHeaders& headers) {
    ++requests_;
    if (beforeRequest)
        beforeRequest(requests_);
    if (url.scheme() == QLatin1String("https") && !QSslSocket::supportsSsl())
        throw SyncError(QStringLiteral("this system's Qt has no TLS support, so %1 cannot be "
                                       "reached")
                            .arg(url.toDisplayString()));

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(timeoutMs);
    request.setRawHeader("Authorization", authorization_);
    request.setRawHeader("User-Agent", "quillbox-db");
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);

    QNetworkReply* raw = manager_->sendCustomRequest(request, method, body);
    std::unique_ptr<QNetworkReply> reply(raw);
    QStringList tlsProblems;
    QObject::connect(raw, &QNetworkReply::sslErrors, raw, [&](const QList<QSslError>& errors) {
        for (const QSslError& e : errors)
            tlsProblems << e.errorString();
    });
    QEventLoop loop;
    QObject::connect(raw, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!raw->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    HttpReply out;
    out.status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString where = url.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath |
                                       QUrl::RemoveQuery | QUrl::RemoveFragment)
                              .toDisplayString();
    if (out.status == 0) {
        if (!tlsProblems.isEmpty())
            throw SyncError(QStringLiteral("the certificate of %1 does not verify (%2); if the "
                                           "server uses a certificate of its own, give it with "
                                           "--ca FILE")
                                .arg(where, tlsProblems.join(QStringLiteral("; "))));
        if (raw->error() == QNetworkReply::OperationCanceledError ||
            raw->error() == QNetworkReply::TimeoutError)
            throw SyncError(QStringLiteral("%1 did not answer within %2 seconds")
                                .arg(where)
                                .arg(timeoutMs / 1000));
        throw SyncError(
            QStringLiteral("cannot reach the server at %1: %2").arg(where, raw->errorString()));
    }
    if (out.status == 401)
        throw SyncError(QStringLiteral("%1 refused the user name or password (401)").arg(where));
    out.body = raw->readAll();
    for (const auto& [name, value] : raw->rawHeaderPairs())
        out.headers.emplaceBack(name.toLower(), value);
    return out;
}

} // namespace quillbox::sync
