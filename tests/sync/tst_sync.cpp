// Two-way sync of a file with a real Radicale, each side changed as a user would: the file
// through SQL, the server through plain HTTP. A server double gives the answers Radicale never
// does.

#include "support/RadicaleServer.h"
#include "support/ScratchDatabase.h"
#include "support/ServerDouble.h"

#include "data/SyncStore.h"
#include "exchange/CardEdit.h"
#include "sync/SyncEngine.h"
#include "sync/SyncError.h"

#include <QtTest>

using namespace quillbox;

namespace {

const QString book = QStringLiteral("/alice/contacts/");

// A card as a phone would keep it: more than the program shows.
QByteArray phoneCard(const QString& uid, const QString& fn, const QString& email) {
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nFN:%2\r\nN:;%2;;;\r\n"
                          "EMAIL:%3\r\nTEL;TYPE=CELL:111\r\nTEL;TYPE=WORK:222\r\n"
                          "NOTE:keep me\r\nX-FOO;BAR=1:baz\r\nEND:VCARD\r\n")
        .arg(uid, fn, email)
        .toUtf8();
}

QString shown(const data::ContactFields& f) {
    return QStringList{f.name, f.email, f.phone, f.address}.join(QLatin1Char('|'));
}

} // namespace

class tst_Sync : public QObject {
    Q_OBJECT

    std::optional<RadicaleServer> server;
    std::optional<ScratchDatabase> file;
    QStringList said;

    sync::SyncCounts run(const QUrl& url, const QString& password = RadicaleServer::password,
                         std::function<void(int)> hook = {}) {
        data::SyncStore store(file->path());
        sync::SyncEngine engine(store, {url.toString(), RadicaleServer::user, {}, {}, password, {}},
                                [this](const QString& line) { said << line; });
        engine.beforeRequest = std::move(hook);
        return engine.run();
    }
    sync::SyncCounts run() { return run(server->url()); }

    void add(const QString& name, const QString& email, const QString& phone = {}) {
        file->exec(QStringLiteral("INSERT INTO Addresses (Name, email, Phone, Address) "
                                  "VALUES ('%1', '%2', '%3', '')").arg(name, email, phone));
    }

    QStringList here() {
        QStringList out;
        for (const data::StoredContact& c : data::SyncStore(file->path()).contacts())
            out << shown(c.fields);
        out.sort();
        return out;
    }

    // Every card on the server, as the file would show it; `cards` gets their texts.
    QStringList there(QList<QByteArray>* cards = nullptr) {
        sync::HttpClient http(RadicaleServer::user, RadicaleServer::password);
        sync::CardDavClient dav(http, server->url());
        QStringList hrefs, out;
        for (const sync::CardRef& c : dav.changesSince(book, {}).changed)
            hrefs << c.href;
        for (const sync::Card& c : dav.fetch(book, hrefs)) {
            const exchange::Person p = exchange::readCard(c.data);
            out << shown({p.name, p.email, p.phone, p.address});
            if (cards)
                *cards << c.data;
        }
        out.sort();
        return out;
    }

    void putThere(const QString& uid, const QByteArray& card, const QByteArray& ifMatch = {}) {
        const auto r = server->request("PUT", book + uid + ".vcf", card,
                                       {{"If-Match", ifMatch.isEmpty() ? "*" : ifMatch}});
        QVERIFY2(r.status / 100 == 2 || ifMatch.isEmpty(), r.body.constData());
        if (r.status == 412)
            QVERIFY(server->request("PUT", book + uid + ".vcf", card).status / 100 == 2);
    }

private slots:
    void init() {
        server.emplace();
        QCOMPARE(server->makeAddressBook(QStringLiteral("contacts"), QStringLiteral("Contacts")),
                 201);
        file.emplace();
        said.clear();
    }
    void cleanup() {
        server.reset();
        file.reset();
    }

    void firstSyncBothWays() {
        add(QStringLiteral("Doe, John"), QStringLiteral("john@x.org"), QStringLiteral("555"));
        add(QStringLiteral("Only Here"), QStringLiteral("here@x.org"));
        putThere(QStringLiteral("j"), phoneCard("j", "Doe, John", "john@x.org")
                                          .replace("N:;Doe, John;;;", "N:Doe;John;;;"));
        putThere(QStringLiteral("t"), phoneCard("t", "Only There", "there@x.org"));
        const sync::SyncCounts c = run();
        QCOMPARE(c.addedHere, 1);
        QCOMPARE(c.addedThere, 1);
        // The same person on both sides is one: the server's phone won over the file's.
        const QStringList both{"Doe, John|john@x.org|111|", "Only Here|here@x.org||",
                               "Only There|there@x.org|111|"};
        QCOMPARE(here(), both);
        QCOMPARE(there(), both);
        QVERIFY(said.join('\n').contains("the server's \"111\" replaced \"555\""));
        QProcess check; // the sync's own tables do not trouble the file's check
        check.start(qEnvironmentVariable("QUILLBOX_BIN_DIR") + "/quillbox-db", {"check", file->path()});
        QVERIFY(check.waitForFinished());
        QCOMPARE(check.readAllStandardOutput().count("warning"), 0);
        QCOMPARE(check.exitCode(), 0);
        // Nothing changed since: one request, nothing done.
        int requests = 0;
        const sync::SyncCounts again = run(server->url(), RadicaleServer::password,
                                           [&](int n) { requests = n; });
        QCOMPARE(requests, 1);
        QCOMPARE(again.addedHere + again.changedHere + again.addedThere + again.changedThere, 0);
    }

    void changes_data() {
        QTest::addColumn<QString>("localSql"); // run on the file after the first sync
        QTest::addColumn<QByteArray>("from");  // replaced in the server's card; "-" deletes it
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QString>("result"); // the contact on both sides; empty: gone on both
        QTest::addColumn<QString>("told");
        const QString base = "Ann|ann@x.org|111|";
        QTest::newRow("edit here") << "UPDATE Addresses SET Phone = '999'" << QByteArray() << QByteArray()
                                   << "Ann|ann@x.org|999|" << "server: changed";
        QTest::newRow("edit there") << "" << QByteArray("ann@x.org") << QByteArray("ann@y.org")
                                    << "Ann|ann@y.org|111|" << "here: changed";
        QTest::newRow("address here") << "UPDATE Addresses SET Address = 'Road 1\r\nTown'"
                                      << QByteArray() << QByteArray()
                                      << "Ann|ann@x.org|111|Road 1\r\nTown" << "server: changed";
        QTest::newRow("delete here") << "DELETE FROM Addresses" << QByteArray() << QByteArray()
                                     << "" << "server: deleted";
        QTest::newRow("delete there") << "" << QByteArray("-") << QByteArray() << ""
                                      << "here: deleted";
        QTest::newRow("both, other fields") << "UPDATE Addresses SET Name = 'Anne'"
                                            << QByteArray("ann@x.org") << QByteArray("a@z.org")
                                            << "Anne|a@z.org|111|" << "server: changed";
        QTest::newRow("conflict: the server wins")
            << "UPDATE Addresses SET email = 'mine@x.org'" << QByteArray("ann@x.org")
            << QByteArray("theirs@x.org") << "Ann|theirs@x.org|111|"
            << "the server's \"theirs@x.org\" replaced \"mine@x.org\"";
        QTest::newRow("edit here beats delete there")
            << "UPDATE Addresses SET Phone = '999'" << QByteArray("-") << QByteArray()
            << "Ann|ann@x.org|999|" << "server: added";
        QTest::newRow("edit there beats delete here")
            << "DELETE FROM Addresses" << QByteArray("ann@x.org") << QByteArray("a@z.org")
            << "Ann|a@z.org|111|" << "here: added";
        QTest::newRow("nothing") << "" << QByteArray() << QByteArray() << base << "";
    }

    void changes() {
        QFETCH(QString, localSql);
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QString, result);
        QFETCH(QString, told);
        putThere(QStringLiteral("ann"), phoneCard("ann", "Ann", "ann@x.org"));
        run();
        if (!localSql.isEmpty())
            file->exec(localSql);
        if (from == "-") {
            QCOMPARE(server->request("DELETE", book + "ann.vcf").status / 100, 2);
        } else if (!from.isEmpty()) {
            const auto card = server->request("GET", book + "ann.vcf");
            putThere(QStringLiteral("ann"), QByteArray(card.body).replace(from, to), card.etag);
        }
        said.clear();
        run();
        QVERIFY2(said.join('\n').contains(told), qPrintable(said.join('\n')));
        const QStringList expected = result.isEmpty() ? QStringList() : QStringList{result};
        QCOMPARE(here(), expected);
        QList<QByteArray> cards;
        QCOMPARE(there(&cards), expected);
        for (const QByteArray& card : cards) // what the program does not show is kept
            for (const char* kept : {"NOTE:keep me", "TEL;TYPE=WORK:222", "X-FOO;BAR=1:baz"})
                QVERIFY2(card.contains(kept), card.constData());
        const sync::SyncCounts again = run(); // and the next sync finds nothing to do
        QCOMPARE(again.addedHere + again.changedHere + again.deletedHere + again.addedThere +
                     again.changedThere + again.deletedThere,
                 0);
    }

    void rerunAfterKill_data() {
        QTest::addColumn<int>("stopAt");
        for (int n : {1, 2, 3, 4, 5, 6, 8, 11})
            QTest::addRow("before request %d", n) << n;
    }

    // A sync stopped before any request, as a kill would stop it, then run again: both sides
    // equal, nobody twice, nobody lost.
    void rerunAfterKill() {
        QFETCH(int, stopAt);
        for (const char* n : {"A", "B", "C"})
            add(QString::fromLatin1(n), QStringLiteral("%1@x.org").arg(n));
        add(QStringLiteral("Both"), QStringLiteral("both@x.org"));
        for (const char* n : {"D", "E"})
            putThere(QString::fromLatin1(n), phoneCard(n, n, "d@x.org"));
        putThere(QStringLiteral("both"), phoneCard("both", "Both", "both@x.org"));
        struct Killed {};
        try {
            run(server->url(), RadicaleServer::password, [&](int n) {
                if (n == stopAt)
                    throw Killed{};
            });
        } catch (const Killed&) {
        }
        run();
        QCOMPARE(here().size(), 6);
        QCOMPARE(here(), there());
    }

    // A server that sends no ETag after a PUT and stores a card otherwise than it was sent,
    // and another device that changes the card just before our PUT (412).
    void awkwardServer() {
        add(QStringLiteral("Ann"), QStringLiteral("ann@x.org"));
        ServerDouble dbl;
        QMap<QByteArray, std::pair<int, QByteArray>> cards; // path -> ETag number, card
        int etags = 0;
        bool otherDevice = false;
        const auto rewritten = [](QByteArray card) {
            return card.replace("VERSION:3.0\r\n", "VERSION:3.0\r\nPRODID:-//double//\r\n");
        };
        const auto response = [&](const QByteArray& path, bool data) {
            return "<d:response><d:href>" + path + "</d:href><d:propstat><d:prop><d:getetag>\"" +
                   QByteArray::number(cards[path].first) + "\"</d:getetag>" +
                   (data ? "<c:address-data>" + cards[path].second + "</c:address-data>" : "") +
                   "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
        };
        dbl.answer = [&](const ServerDouble::Request& r) -> ServerDouble::Response {
            const QByteArray ms = "<d:multistatus xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\">";
            if (r.method == "PROPFIND")
                return {207, ms + "<d:response><d:href>/b/</d:href><d:propstat><d:prop><d:resourcetype>"
                             "<c:addressbook/></d:resourcetype></d:prop></d:propstat></d:response>"
                             "</d:multistatus>", {}};
            if (r.method == "REPORT") {
                QByteArray body = ms;
                for (const QByteArray& path : cards.keys())
                    if (!r.body.contains("multiget") || r.body.contains(path))
                        body += response(path, r.body.contains("multiget"));
                return {207, body + "</d:multistatus>", {}};
            }
            const QByteArray etag = "\"" + QByteArray::number(cards.value(r.path).first) + "\"";
            if (r.method == "GET")
                return {200, cards[r.path].second, "ETag: " + etag + "\r\n"};
            if (otherDevice && !r.header("if-match").isEmpty()) { // changed just before us
                otherDevice = false;
                cards[r.path] = {++etags, QByteArray(cards[r.path].second).replace("ann@x.org", "ann@y.org")};
                return {412, {}, {}};
            }
            if (r.header("if-match").isEmpty() ? cards.contains(r.path) : r.header("if-match") != etag)
                return {412, {}, {}};
            cards[r.path] = {++etags, rewritten(r.body)};
            return {201, {}, {}};
        };
        const QUrl url = dbl.url().resolved(QUrl("/b/"));
        QCOMPARE(run(url).addedThere, 1);
        sync::SyncCounts c = run(url); // its own upload, rewritten, is no change
        QCOMPARE(c.addedHere + c.changedHere + c.changedThere, 0);
        file->exec(QStringLiteral("UPDATE Addresses SET Phone = '999'"));
        otherDevice = true;
        c = run(url);
        QCOMPARE(c.changedThere, 1);
        QCOMPARE(here(), QStringList{"Ann|ann@y.org|999|"});
        const exchange::Person p = exchange::readCard(cards.first().second);
        QCOMPARE(shown({p.name, p.email, p.phone, p.address}), QString("Ann|ann@y.org|999|"));
        c = run(url);
        QCOMPARE(c.addedHere + c.changedHere + c.changedThere + c.addedThere, 0);
    }

    void faults_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong password") << 0 << "refused the user name or password";
        QTest::newRow("unreachable") << 1 << "cannot reach the server";
        QTest::newRow("not XML") << 2 << "is not valid XML";
        QTest::newRow("not a vCard") << 3 << "is not a valid vCard";
    }

    // One clear message, and the file as it was.
    void faults() {
        QFETCH(int, fault);
        QFETCH(QString, message);
        add(QStringLiteral("Ann"), QStringLiteral("ann@x.org"));
        QFile f(file->path());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        ServerDouble dbl;
        dbl.answer = [&](const ServerDouble::Request& r) -> ServerDouble::Response {
            if (r.method == "PROPFIND")
                return {207, "<d:multistatus xmlns:d=\"DAV:\"><d:response><d:href>/b/</d:href>"
                             "<d:propstat><d:prop><d:resourcetype><d:collection/>"
                             "<c:addressbook xmlns:c=\"urn:ietf:params:xml:ns:carddav\"/>"
                             "</d:resourcetype></d:prop><d:status>HTTP/1.1 200 OK</d:status>"
                             "</d:propstat></d:response></d:multistatus>", {}};
            if (fault == 2 || r.body.contains("sync-collection"))
                return {207, fault == 2 ? "<d:multistatus xmlns:d=\"DAV:\"><d:response>"
                                        : "<d:multistatus xmlns:d=\"DAV:\"><d:response><d:href>"
                                          "/b/x.vcf</d:href><d:propstat><d:prop><d:getetag>\"1\""
                                          "</d:getetag></d:prop></d:propstat></d:response>"
                                          "</d:multistatus>", {}};
            return {207, "<d:multistatus xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:"
                         "carddav\"><d:response><d:href>/b/x.vcf</d:href><d:propstat><d:prop>"
                         "<d:getetag>\"1\"</d:getetag><c:address-data>BEGIN:VCARD\nFN:x"
                         "</c:address-data></d:prop></d:propstat></d:response></d:multistatus>",
                    {}};
        };
        QUrl url = fault >= 2 ? dbl.url() : server->url();
        if (fault == 1)
            server.reset(); // nobody listens there now
        try {
            run(url.resolved(QUrl("/b/")), fault == 0 ? QStringLiteral("wrong") : RadicaleServer::password);
            QFAIL("no error");
        } catch (const sync::SyncError& e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
        QVERIFY(f.seek(0));
        QCOMPARE(f.readAll(), before);
    }
};

QTEST_GUILESS_MAIN(tst_Sync)
#include "tst_sync.moc"
