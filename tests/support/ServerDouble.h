#pragma once

// An HTTP server in the test's own process for answers a real CardDAV server will not give:
// each request goes to `answer`, which returns the status line's code, headers and body (and
// may ask a real server first). It serves while the client's event loop runs, so a blocking
// client works against it.

#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <functional>

class ServerDouble {
public:
    struct Request {
        QByteArray method, path, body;
        QHash<QByteArray, QByteArray> headers; // names in lower case
    };
    struct Response {
        int status = 200;
        QByteArray body, headers; // headers as "Name: value\r\n" lines
    };
    std::function<Response(const Request&)> answer;

    ServerDouble() {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection())
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { serve(s); });
        });
    }

    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort())); }

private:
    void serve(QTcpSocket* s) {
        QByteArray& in = buffers_[s];
        in += s->readAll();
        const qsizetype end = in.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        Request r;
        const QList<QByteArray> lines = in.left(end).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        r.method = first.value(0);
        r.path = first.value(1);
        for (const QByteArray& line : lines.mid(1)) {
            const qsizetype colon = line.indexOf(':');
            r.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }
        const qsizetype length = r.headers.value("content-length").toLongLong();
        if (in.size() < end + 4 + length)
            return;
        r.body = in.mid(end + 4, length);
        buffers_.remove(s);
        const Response a = answer(r);
        s->write("HTTP/1.1 " + QByteArray::number(a.status) + " X\r\nContent-Length: " +
                 QByteArray::number(a.body.size()) + "\r\nConnection: close\r\n" + a.headers +
                 "\r\n" + a.body);
        s->disconnectFromHost();
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> buffers_;
};
