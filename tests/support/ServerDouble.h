#pragma once

// An HTTP server in the test's own process for answers a real CardDAV server will not give:
// each request goes to `answer`, which returns the status line's code, headers and body (and
// may ask a real server first), and is kept in `got`. It serves while the client's event loop
// runs, so a blocking client works against it. A hostile answer may never come (status 0) or
// never end (its body sent again and again, a byte every `trickleMs` or all at once).

#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
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
        int trickleMs = -1;
    };
    std::function<Response(const Request&)> answer;
    QList<Request> got;

    ServerDouble() {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { serve(s); });
                QObject::connect(s, &QTcpSocket::disconnected, s, [this, s] {
                    buffers_.remove(s);
                    s->deleteLater();
                });
            }
        });
    }

    QUrl url() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort()));
    }

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
        got << r;
        const Response a = answer(r);
        const bool endless = a.trickleMs >= 0;
        if (a.status == 0)
            return;
        s->write("HTTP/1.1 " + QByteArray::number(a.status) + " X\r\n" +
                 (endless ? "" : "Content-Length: " + QByteArray::number(a.body.size()) + "\r\n") +
                 "Connection: close\r\n" + a.headers + "\r\n" + (endless ? "" : a.body));
        if (!endless)
            return s->disconnectFromHost();
        auto* timer = new QTimer(s);
        QObject::connect(timer, &QTimer::timeout, s, [s, a, at = qsizetype(0)]() mutable {
            if (s->bytesToWrite() < (1 << 20))
                s->write(a.trickleMs > 0 ? a.body.mid(at++ % a.body.size(), 1) : a.body);
        });
        timer->start(a.trickleMs);
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> buffers_;
};
