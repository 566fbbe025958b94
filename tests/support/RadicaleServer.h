#pragma once

// A Radicale CardDAV server of the test's own: 127.0.0.1 at a free port, one user with a plain
// password, a fresh storage folder; stopped when the object goes. The server side of a test is
// changed through plain HTTP requests (request()), never through Radicale's files.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>

#include <stdexcept>

#include <csignal>
#include <sys/prctl.h>

// Whether a server just started takes connections on `port` of the loopback within 20 s; false
// as soon as it has died.
inline bool listensSoon(QProcess& server, quint16 port) {
    for (QDeadlineTimer deadline(20000); !deadline.hasExpired();) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(250))
            return true;
        if (server.state() != QProcess::Running)
            return false;
        server.waitForFinished(100); // a pause that ends early if the server dies
    }
    return false;
}

// Ends a server: asked first, then killed if it will not go.
inline void stopServer(QProcess& server) {
    server.terminate();
    if (!server.waitForFinished(5000))
        server.kill();
    server.waitForFinished();
}

// Plain HTTP requests with Basic credentials, as another device makes them of a CardDAV
// server: what a test or benchmark changes on the server side goes through here.
class DavDevice {
public:
    DavDevice(QString user, QString password)
        : authorization_("Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64()) {}

    struct Reply {
        int status = 0;
        QByteArray body, etag;
    };

    Reply request(const QByteArray& method, const QUrl& url, const QByteArray& body = {},
                  const QList<std::pair<QByteArray, QByteArray>>& headers = {}) {
        QNetworkRequest r(url);
        r.setRawHeader("Authorization", authorization_);
        for (const auto& [name, value] : headers)
            r.setRawHeader(name, value);
        QNetworkReply* reply = manager_.sendCustomRequest(r, method, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        Reply out{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                  reply->readAll(), reply->rawHeader("ETag")};
        reply->deleteLater();
        return out;
    }

private:
    QByteArray authorization_;
    QNetworkAccessManager manager_;
};

class RadicaleServer {
public:
    static inline const QString user = QStringLiteral("alice");
    static inline const QString password = QStringLiteral("secret");

    RadicaleServer() {
        QTcpServer probe;
        if (!dir_.isValid() || !probe.listen(QHostAddress::LocalHost, 0))
            throw std::runtime_error("no folder or port for Radicale");
        port_ = probe.serverPort();
        probe.close();
        write(QStringLiteral("users"), (user + QLatin1Char(':') + password + "\n").toUtf8());
        write(QStringLiteral("config"),
              QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n"
                             "[auth]\ntype = htpasswd\nhtpasswd_filename = %2/users\n"
                             "htpasswd_encryption = plain\n"
                             "[storage]\nfilesystem_folder = %2/collections\n"
                             "[web]\ntype = none\n[logging]\nlevel = warning\n")
                  .arg(port_)
                  .arg(dir_.path())
                  .toUtf8());
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // A test that aborts runs no destructor: the server ends with it rather than holding
        // the test's standard error open for whoever reads it.
        process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        process_.start(QStringLiteral("radicale"),
                       {QStringLiteral("--config"), dir_.filePath(QStringLiteral("config"))});
        if (!process_.waitForStarted())
            throw std::runtime_error("radicale cannot be started: is Debian's radicale "
                                     "package installed (tools/deps.sh test)?");
        if (!listensSoon(process_, port_))
            throw std::runtime_error("radicale did not start listening");
    }

    ~RadicaleServer() { stopServer(process_); }

    QUrl url(const QString& path = QStringLiteral("/")) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path));
    }

    using Reply = DavDevice::Reply;

    // One plain request as the user, as another device would make it.
    Reply request(const QByteArray& method, const QString& path, const QByteArray& body = {},
                  const QList<std::pair<QByteArray, QByteArray>>& headers = {}) {
        return device_.request(method, url(path), body, headers);
    }

    // An empty address book at /alice/<name>/ with a display name.
    int makeAddressBook(const QString& name, const QString& displayName) {
        const QByteArray body =
            "<?xml version=\"1.0\"?><d:mkcol xmlns:d=\"DAV:\" "
            "xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:set><d:prop><d:resourcetype>"
            "<d:collection/><c:addressbook/></d:resourcetype><d:displayname>" +
            displayName.toUtf8() + "</d:displayname></d:prop></d:set></d:mkcol>";
        return request("MKCOL", QStringLiteral("/%1/%2/").arg(user, name), body).status;
    }


private:
    void write(const QString& name, const QByteArray& bytes) {
        QFile f(dir_.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            throw std::runtime_error("cannot write Radicale's files");
    }

    QTemporaryDir dir_;
    quint16 port_ = 0;
    QProcess process_;
    DavDevice device_{RadicaleServer::user, RadicaleServer::password};
};
