#include "HttpClient.h"

#include "Href.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace quillbox::sync {

namespace {

bool isLoopback(const QString& host) {
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
           QHostAddress(host).isLoopback();
}

bool hasControl(const QByteArray& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

QString mebibytes(qint64 bytes) {
    return QString::number(double(bytes) / double(1 << 20));
}

QString secondsOf(qint64 ms) {
    return QString::number(double(ms) / 1000.0) + QStringLiteral(" s");
}

} // namespace

QString shownUrl(const QUrl& url) {
    return url.adjusted(QUrl::RemoveUserInfo).toDisplayString();
}

QByteArray HttpReply::header(const QByteArray& lowerName) const {
    for (const auto& [name, value] : headers)
        if (name == lowerName)
            return value;
    return {};
}

HttpClient::HttpClient(QString user, QString password, const QString& caFile)
    : manager_(std::make_unique<QNetworkAccessManager>()), caFile_(caFile) {
    run_.start();
    authorization_ = "Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64();
    if (!caFile.isEmpty()) {
        QList<QSslCertificate> certificates = QSslCertificate::fromPath(caFile, QSsl::Pem);
        if (certificates.isEmpty())
            certificates = QSslCertificate::fromPath(caFile, QSsl::Der);
        if (certificates.isEmpty())
            throw UserError(QStringLiteral("no certificate could be read from %1").arg(caFile),
                            UserError::Kind::NeedsUser);
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(certificates);
        QSslConfiguration::setDefaultConfiguration(tls);
    }
}

HttpClient::~HttpClient() = default;

HttpReply HttpClient::send(const QByteArray& method, const QUrl& url, const QByteArray& body,
                           const HttpHeaders& headers, const QString& within) {
    QUrl target = url.adjusted(QUrl::RemoveUserInfo);
    for (int hops = 0;; ++hops) {
        HttpReply reply = sendOnce(method, target, body, headers);
        const bool redirect = reply.status == 301 || reply.status == 302 || reply.status == 303 ||
                              reply.status == 307 || reply.status == 308;
        if (!redirect || hops == 5) {
            reply.url = target;
            return reply;
        }
        const QByteArray location = reply.header("location");
        const QUrl next = target.resolved(QUrl::fromEncoded(location, QUrl::StrictMode))
                              .adjusted(QUrl::RemoveUserInfo | QUrl::RemoveFragment);
        if (next.isValid() && !sameOrigin(next, target) && !hasControl(location))
            throw UserError(QStringLiteral("%1 sends us on to %2, another server; if that is "
                                           "the right one, give --url %3")
                                .arg(shownUrl(target), shownUrl(next),
                                     shownUrl(next.adjusted(QUrl::RemoveQuery))),
                            UserError::Kind::NeedsUser);
        const QString path = normalHref(next.path(QUrl::FullyEncoded));
        if (!next.isValid() || hasControl(location) || !next.query().isEmpty() || path.isEmpty() ||
            !(path.startsWith(within) || path + QLatin1Char('/') == within))
            throw UserError(QStringLiteral("the answer to %1 %2 makes no sense: it sends us on "
                                           "to %3")
                                .arg(QString::fromLatin1(method), shownUrl(target),
                                     QString::fromUtf8(location).toHtmlEscaped()));
        target.setPath(path, QUrl::StrictMode);
    }
}

HttpReply HttpClient::sendOnce(const QByteArray& method, const QUrl& url, const QByteArray& body,
                               const HttpHeaders& headers) {
    const QString where = shownUrl(url);
    const UserError runOver(QStringLiteral("the sync stopped after %1, the most one sync may "
                                           "take; the next one goes on from here")
                                .arg(secondsOf(runDeadlineMs)),
                            UserError::Kind::TryLater);
    const qint64 runLeft = runDeadlineMs - run_.elapsed();
    if (runLeft <= 0)
        throw runOver;
    for (const auto& [name, value] : headers)
        if (hasControl(value))
            throw UserError(QStringLiteral("a %1 header for %2 would hold control characters")
                                .arg(QString::fromLatin1(name), where));
    if (!warned_ && warn && url.scheme() == QLatin1String("http") && !isLoopback(url.host())) {
        warned_ = true;
        warn(QStringLiteral("warning: the password goes to %1 unencrypted (http://); use "
                            "https:// unless every network between is yours")
                 .arg(url.host()));
    }
    ++requests_;
    if (beforeRequest)
        beforeRequest(requests_);
    if (url.scheme() == QLatin1String("https") && !QSslSocket::supportsSsl())
        throw UserError(QStringLiteral("this system's Qt has no TLS support, so %1 cannot be "
                                       "reached")
                            .arg(where));

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(idleTimeoutMs);
    request.setRawHeader("Authorization", authorization_);
    request.setRawHeader("User-Agent", "quillbox-db");
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);

    QNetworkReply* raw = manager_->sendCustomRequest(request, method, body);
    std::unique_ptr<QNetworkReply> reply(raw);
    // Read as it comes, so that an answer over the bound is stopped there and never held.
    raw->setReadBufferSize(1 << 20);
    QByteArray received;
    bool tooLarge = false, tooSlow = false;
    QStringList tlsProblems;
    QObject::connect(raw, &QNetworkReply::sslErrors, raw, [&](const QList<QSslError>& errors) {
        for (const QSslError& e : errors)
            tlsProblems << e.errorString();
    });
    const auto stop = [&](bool& why) {
        why = true;
        raw->abort();
    };
    QObject::connect(raw, &QNetworkReply::readyRead, raw, [&] {
        if (tooLarge || raw->bytesAvailable() > maxAnswerBytes - received.size())
            stop(tooLarge);
        else
            received += raw->readAll();
    });
    const qint64 deadline = std::min<qint64>(requestDeadlineMs, runLeft);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, raw, [&] { stop(tooSlow); });
    timer.start(std::chrono::milliseconds(deadline));
    QEventLoop loop;
    QObject::connect(raw, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!raw->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    timer.stop();

    const QString origin = shownUrl(url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery));
    const auto overLimit = [&] {
        return AnswerTooLarge(
            QStringLiteral("the answer of %1 to %2 %3 is larger than %4 MiB, "
                           "more than any address book needs; stopped there")
                .arg(origin, QString::fromLatin1(method), where, mebibytes(maxAnswerBytes)),
            UserError::Kind::TryLater);
    };
    if (tooLarge)
        throw overLimit();
    if (tooSlow && deadline < requestDeadlineMs)
        throw runOver;
    if (tooSlow)
        throw UserError(
            QStringLiteral("%1 took more than %2 to answer %3 %4")
                .arg(origin, secondsOf(requestDeadlineMs), QString::fromLatin1(method), where),
            UserError::Kind::TryLater);

    HttpReply out;
    out.status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!tlsProblems.isEmpty())
        throw UserError(QStringLiteral("the certificate of %1 does not verify (%2); if the "
                                       "server uses a certificate of its own, give it with "
                                       "--ca FILE")
                            .arg(origin, tlsProblems.join(QStringLiteral("; "))),
                        UserError::Kind::NeedsUser);
    const QNetworkReply::NetworkError error = raw->error();
    if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError)
        throw UserError(
            QStringLiteral("%1 was silent for %2 while answering %3 %4")
                .arg(origin, secondsOf(idleTimeoutMs), QString::fromLatin1(method), where),
            UserError::Kind::TryLater);
    // Qt's errors below 200 are the connection's and those from 300 to 399 the protocol's: the
    // answer, if any came, is not whole. The others only restate an HTTP status.
    if (out.status == 0 ||
        (error != QNetworkReply::NoError && (error < 200 || (error >= 300 && error < 400))))
        throw UserError(QStringLiteral("cannot reach the server at %1 (%2 %3): %4")
                            .arg(origin, QString::fromLatin1(method), where, raw->errorString()),
                        UserError::Kind::TryLater);
    if (out.status == 401)
        throw UserError(QStringLiteral("%1 refused the user name or password (401)").arg(origin),
                        UserError::Kind::NeedsUser);
    received += raw->readAll();
    if (received.size() > maxAnswerBytes)
        throw overLimit();
    out.body = std::move(received);
    for (const auto& [name, value] : raw->rawHeaderPairs())
        out.headers.emplaceBack(name.toLower(), value);
    return out;
}

} // namespace quillbox::sync
