// Two-way sync of a file with a real Radicale, each side changed as a user would: the file
// through SQL, the server through plain HTTP; and the CardDAV client's own requests against it.
// A server double in front of Radicale changes the answers as Radicale never would.

#include "support/RadicaleServer.h"
#include "support/ScratchDatabase.h"
#include "support/ServerDouble.h"

#include "data/Schema.h"
#include "data/SyncStore.h"
#include "errors/UserError.h"
#include "exchange/CardEdit.h"
#include "exchange/VCardReader.h"
#include "sync/SyncEngine.h"

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

QString shown(const contact::Contact& f) {
    return QStringList{f.name, f.email, f.phone, f.address}.join(QLatin1Char('|'));
}

enum Change { EditThere, RespellHere, DeleteThere, DeleteHere, NewBook, NewThere };
const QString guard = QStringLiteral("--allow-deletions");

} // namespace

class tst_Sync : public QObject {
    Q_OBJECT

    std::optional<RadicaleServer> server;
    std::optional<ScratchDatabase> file;
    QStringList said;
    QString found; // the address book, remembered as the tool remembers it with the account
    bool allowDeletions = false;

    sync::SyncCounts run(const QUrl& url, const QString& password = RadicaleServer::password,
                         std::function<void(int)> hook = {}) {
        data::SyncStore store(file->path());
        sync::SyncEngine engine(
            store,
            {url.toString(), RadicaleServer::user, {}, {}, password, {}, found, {}, allowDeletions},
            [this](const QString& line) { said << line; });
        engine.bookChosen = [this](const QString& b) { found = b; };
        engine.beforeRequest = std::move(hook);
        return engine.run();
    }
    sync::SyncCounts run() { return run(server->url()); }

    void add(const QString& name, const QString& email, const QString& phone = {}) {
        file->exec(QStringLiteral("INSERT INTO Addresses (Name, email, Phone, Address) "
                                  "VALUES ('%1', '%2', '%3', '')")
                       .arg(name, email, phone));
    }

    QStringList here() {
        QStringList out;
        for (const data::StoredContact& c : data::SyncStore(file->path()).contacts())
            out << shown(c.fields);
        out.sort();
        return out;
    }

    // Every card on the server, as the file would show it; `cards` gets the address book's
    // text, all its cards one after another as the server gives them.
    QStringList there(QByteArray* cards = nullptr) {
        const QByteArray all = server->request("GET", book).body;
        QStringList out;
        for (const exchange::Person& p :
             all.isEmpty() ? std::vector<exchange::Person>() : exchange::readVCards(all))
            out << shown({p.name, p.email, p.phone, p.address});
        if (cards)
            *cards = all;
        out.sort();
        return out;
    }

    QByteArray bytes() {
        QFile f(file->path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void putThere(const QString& uid, const QByteArray& card) {
        QCOMPARE(server->request("PUT", book + uid + ".vcf", card).status / 100, 2);
    }

    // The double passes a request on to Radicale and gives back its answer.
    ServerDouble::Response forward(const ServerDouble::Request& r) {
        QList<std::pair<QByteArray, QByteArray>> headers;
        for (const char* name : {"depth", "if-match", "if-none-match", "content-type"})
            if (r.headers.contains(name))
                headers.append({name, r.headers.value(name)});
        const auto reply = server->request(r.method, QString::fromUtf8(r.path), r.body, headers);
        return {reply.status, reply.body,
                reply.etag.isEmpty() ? QByteArray() : "ETag: " + reply.etag + "\r\n"};
    }

private slots:
    void init() {
        server.emplace();
        QCOMPARE(server->makeAddressBook(QStringLiteral("contacts"), QStringLiteral("Contacts")),
                 201);
        file.emplace();
        said.clear();
        found.clear();
        allowDeletions = false;
    }
    void cleanup() {
        server.reset();
        file.reset();
    }

    void firstSyncBothWays() {
        add(QStringLiteral("Doe, John"), QStringLiteral("john@x.org"), QStringLiteral("555"));
        add(QStringLiteral("Only Here"), QStringLiteral("here@x.org"));
        putThere(
            QStringLiteral("j"),
            phoneCard("j", "Doe, John", "john@x.org").replace("N:;Doe, John;;;", "N:Doe;John;;;"));
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
        check.start(qEnvironmentVariable("QUILLBOX_BIN_DIR") + "/quillbox-db",
                    {"check", file->path()});
        QVERIFY(check.waitForFinished());
        QCOMPARE(check.readAllStandardOutput().count("warning"), 0);
        QCOMPARE(check.exitCode(), 0);
        // Nothing changed since: one request, nothing done.
        int requests = 0;
        const sync::SyncCounts again =
            run(server->url(), RadicaleServer::password, [&](int n) { requests = n; });
        QCOMPARE(requests, 1);
        QCOMPARE(again.addedHere + again.changedHere + again.addedThere + again.changedThere, 0);
    }

    void changes_data() {
        QTest::addColumn<QString>("localSql"); // run on the file after the first sync
        QTest::addColumn<QByteArray>("from");  // replaced in the server's card; "-" deletes it
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QString>("result"); // the contact on both sides; empty: gone on both
        QTest::addColumn<QString>("told");
        const auto row = [](const char* tag, const char* localSql, const char* from, const char* to,
                            const char* result, const char* told) {
            QTest::newRow(tag) << QString(localSql) << QByteArray(from) << QByteArray(to)
                               << QString(result) << QString(told);
        };
        const char* phone = "UPDATE Addresses SET Phone = '999'";
        row("edit here", phone, "", "", "Ann|ann@x.org|999|", "server: changed");
        row("edit there", "", "ann@x.org", "ann@y.org", "Ann|ann@y.org|111|", "here: changed");
        row("address here", "UPDATE Addresses SET Address = 'Road 1\r\nTown'", "", "",
            "Ann|ann@x.org|111|Road 1\r\nTown", "server: changed");
        row("delete here", "DELETE FROM Addresses", "", "", "", "server: deleted");
        row("delete there", "", "-", "", "", "here: deleted");
        row("both, other fields", "UPDATE Addresses SET Name = 'Anne'", "ann@x.org", "a@z.org",
            "Anne|a@z.org|111|", "server: changed");
        row("conflict: the server wins", "UPDATE Addresses SET email = 'mine@x.org'", "ann@x.org",
            "theirs@x.org", "Ann|theirs@x.org|111|",
            "the server's \"theirs@x.org\" replaced \"mine@x.org\"");
        row("edit here beats delete there", phone, "-", "", "Ann|ann@x.org|999|",
            "server: added \"Ann\" again, as it was changed here");
        row("edit there beats delete here", "DELETE FROM Addresses", "ann@x.org", "a@z.org",
            "Ann|a@z.org|111|", "here: added \"Ann\" again, as the server changed it");
        // A card whose upload was never confirmed, missing there: it goes up, changed or not.
        const char* unconfirmed = "UPDATE SyncCards SET ETag = NULL";
        row("never confirmed, gone there", unconfirmed, "-", "", "Ann|ann@x.org|111|",
            "server: added \"Ann\"");
        row("never confirmed, gone there, edited here",
            (QByteArray(unconfirmed) + "; " + phone).constData(), "-", "", "Ann|ann@x.org|999|",
            "server: added \"Ann\" again, as it was changed here");
        // A record the file was given by hand: the contact is paired afresh, nothing goes.
        row("record outside the book", "UPDATE SyncCards SET Href = '/bob/contacts/ann.vcf'", "",
            "", "Ann|ann@x.org|111|", "outside the address book");
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
            putThere(QStringLiteral("ann"),
                     server->request("GET", book + "ann.vcf").body.replace(from, to));
        }
        said.clear();
        run();
        QVERIFY2(said.join('\n').contains(told), qPrintable(said.join('\n')));
        QVERIFY2(told.contains("again") == said.join('\n').contains("again"),
                 qPrintable(said.join('\n')));
        const QStringList expected = result.isEmpty() ? QStringList() : QStringList{result};
        QCOMPARE(here(), expected);
        QByteArray cards;
        QCOMPARE(there(&cards), expected);
        for (const char* kept : {"NOTE:keep me", "TEL;TYPE=WORK:222", "X-FOO;BAR=1:baz"})
            QVERIFY2(result.isEmpty() || cards.contains(kept),
                     cards.constData());      // not shown, kept
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
        bool otherDevice = false;
        ServerDouble dbl;
        dbl.answer = [&](const ServerDouble::Request& r) -> ServerDouble::Response {
            if (r.method != "PUT")
                return forward(r);
            if (otherDevice && r.headers.contains("if-match")) { // its If-Match is now stale
                otherDevice = false;
                const QString path = QString::fromUtf8(r.path);
                server->request(
                    "PUT", path,
                    server->request("GET", path).body.replace("ann@x.org", "ann@y.org"));
            }
            ServerDouble::Request rewritten = r;
            rewritten.body.replace("VERSION:3.0\r\n", "VERSION:3.0\r\nX-STORED-BY:double\r\n");
            return {forward(rewritten).status, {}, {}};
        };
        QCOMPARE(run(dbl.url()).addedThere, 1);
        int requests = 0; // its own upload, rewritten, is no change: nothing is fetched
        sync::SyncCounts c = run(dbl.url(), RadicaleServer::password, [&](int n) { requests = n; });
        QCOMPARE(requests, 1);
        QCOMPARE(c.addedHere + c.changedHere + c.changedThere, 0);
        file->exec(QStringLiteral("UPDATE Addresses SET Phone = '999'"));
        otherDevice = true;
        c = run(dbl.url());
        QCOMPARE(c.changedThere, 1);
        QCOMPARE(here(), QStringList{"Ann|ann@y.org|999|"});
        QCOMPARE(there(), QStringList{"Ann|ann@y.org|999|"});
        c = run(dbl.url());
        QCOMPARE(c.addedHere + c.changedHere + c.changedThere + c.addedThere, 0);
    }

    // The client on its own: discovery from the server lists every book, from a book only it;
    // its conditional writes, and a sync report whose token the server has lost, are what a
    // sync meets only when another device comes between or the server forgets.
    void client() {
        QCOMPARE(server->makeAddressBook(QStringLiteral("work"), QStringLiteral("Work")), 201);
        sync::HttpClient http(RadicaleServer::user, RadicaleServer::password);
        QStringList books;
        for (const char* start : {"/", "/alice/work/"})
            for (const sync::AddressBook& b :
                 sync::CardDavClient(http, server->url(start)).findAddressBooks())
                books << b.path + QLatin1Char(' ') + b.name;
        books.sort();
        QCOMPARE(books, QStringList({"/alice/contacts/ Contacts", "/alice/work/ Work",
                                     "/alice/work/ Work"}));

        sync::CardDavClient dav(http, server->url());
        dav.chooseBook(book);
        const QString href = book + QStringLiteral("a.vcf");
        const QByteArray card = phoneCard("a", "A", "a@x.org");
        const auto created = dav.put(href, card, {});
        QCOMPARE(created.status, 201);
        QCOMPARE(dav.put(href, card, {}).status, 412); // If-None-Match: * finds it there
        QCOMPARE(dav.put(href, card, "\"stale\"").status, 412);
        QCOMPARE(dav.remove(href, "\"stale\""), 412);
        const sync::Changes all = dav.changesSince(book, {});
        QVERIFY(all.complete && !dav.changesSince(book, all.token).complete);
        QVERIFY(
            dav.changesSince(book, QStringLiteral("http://radicale.org/ns/sync/bogus")).complete);
        QVERIFY(dav.remove(href, created.etag) / 100 == 2);
    }

    // One clear message, and the file as it was: a wrong password, then nobody listening.
    void faults() {
        add(QStringLiteral("Ann"), QStringLiteral("ann@x.org"));
        putThere(QStringLiteral("x"), phoneCard("x", "X", "x@x.org"));
        const QByteArray before = bytes();
        const QUrl url = server->url();
        for (const char* message :
             {"refused the user name or password", "cannot reach the server"}) {
            try {
                run(url, QStringLiteral("wrong"));
                QFAIL("no error");
            } catch (const UserError& e) {
                QVERIFY2(e.message().contains(message), qPrintable(e.message()));
            }
            QCOMPARE(bytes(), before);
            server.reset();
        }
    }

    void notAllAgree_data() {
        QTest::addColumn<int>("change");        // after a first sync of 3 cards (12 to delete many)
        QTest::addColumn<QStringList>("alter"); // answers to requests with [0]: [1] -> [2]
        QTest::addColumn<int>("skipped");
        QTest::addColumn<QString>("told"); // where the sync stops, leaving the file as it was
        QTest::addColumn<int>("after");    // contacts on both sides once all went through
        const auto row = [](const char* tag, Change change, const QStringList& alter, int skipped,
                            const QString& told, int after) {
            QTest::newRow(tag) << int(change) << alter << skipped << told << after;
        };
        const QString all = QStringLiteral("(<response>.*</response>)");
        row("multiget sends nothing", EditThere, {"multiget", all, ""}, 3, "", 3);
        row("hrefs kept in another spelling", RespellHere, {}, 0, "", 3);
        row("listing cut short", EditThere, {"sync-coll", ".{40}$", ""}, 0, "is not valid XML", 3);
        row("listing a sign-in page", EditThere, {"sync-coll", "^.*$", "<html>Sign in</html>"}, 0,
            "is not a WebDAV multistatus", 3);
        row("emptied book: its token refused, its listing empty", NewBook, {}, 0, guard, 0);
        row("most deleted there", DeleteThere, {}, 0, guard, 1);
        row("all deleted here", DeleteHere, {}, 0, guard, 0);
        row("unknown charset", EditThere, {"sync-coll", "FN:C1", "FN;CHARSET=x-none:C1"}, 1, "", 3);
        row("over the value limit", NewThere,
            {"multiget", "NOTE:keep me", "NOTE:" + QString(9 << 20, 'a')}, 1, "", 4);
        row("href listed four times", NewThere, {"sync-coll", all, "\\1\\1\\1\\1"}, 0, "", 4);
    }

    // Cards left out, named twice or not storable go on; deletions too large to make ask first.
    void notAllAgree() {
        QFETCH(int, change);
        QFETCH(QStringList, alter);
        QFETCH(int, skipped);
        QFETCH(QString, told);
        QFETCH(int, after);
        bool altering = false;
        ServerDouble dbl; // every sync goes through it, so all are with one server
        dbl.answer = [&](const ServerDouble::Request& r) {
            ServerDouble::Response a = forward(r);
            if (!altering || alter.isEmpty())
                return a;
            const auto dotAll = QRegularExpression::DotMatchesEverythingOption;
            QString body = QString::fromUtf8(a.body);
            if (alter[0] == "multiget" && r.body.contains("sync-coll")) // cards are asked for
                body.remove(
                    QRegularExpression("<[\\w:]*address-data>.*?</[\\w:]*address-data>", dotAll));
            if (r.body.contains(alter[0].toUtf8()))
                body.replace(QRegularExpression(alter[1], dotAll), alter[2]);
            a.body = body.toUtf8();
            return a;
        };
        const int cards = change == DeleteThere || change == DeleteHere ? 12 : 3;
        for (int i = 0; i < cards; ++i)
            putThere(QString::number(i),
                     phoneCard(QString::number(i), QStringLiteral("C%1").arg(i), "c@x.org"));
        run(dbl.url());
        for (int i = 0; i < cards; ++i) {
            const QString href = book + QString::number(i) + ".vcf";
            if (change == EditThere || change == RespellHere)
                putThere(QString::number(i),
                         server->request("GET", href).body.replace("c@x.org", "e@x.org"));
            if (change == DeleteThere && i > 0)
                QCOMPARE(server->request("DELETE", href).status / 100, 2);
        }
        if (change == DeleteHere)
            file->exec(QStringLiteral("DELETE FROM Addresses"));
        if (change == RespellHere) // as written before hrefs were compared in one form
            file->exec(QStringLiteral("UPDATE %1 SET Href = replace(Href, '/contacts/', "
                                      "'/%63ontacts/')")
                           .arg(data::schema::sync::cards));
        if (change == NewBook) {
            QCOMPARE(server->request("DELETE", book).status / 100, 2);
            QCOMPARE(server->makeAddressBook(QStringLiteral("contacts"), "Contacts"), 201);
        }
        if (change == NewThere)
            putThere(QStringLiteral("new"), phoneCard("new", "New", "n@x.org"));
        altering = true;
        const QByteArray before = bytes();
        try {
            QCOMPARE(run(dbl.url()).skipped, skipped);
            QCOMPARE(said.filter("not synced").size(), skipped);
            QVERIFY(told.isEmpty());
        } catch (const UserError& e) {
            QVERIFY2(!told.isEmpty() && e.message().contains(told), qPrintable(e.message()));
            QCOMPARE(e.kind() == UserError::Kind::NeedsUser, told == guard);
            QCOMPARE(bytes(), before);
        }
        // What was left out comes next time; what was refused goes when allowed.
        altering = false;
        allowDeletions = true;
        run(dbl.url());
        QCOMPARE(here().size(), after);
        QCOMPARE(here(), there());
    }
};

QTEST_GUILESS_MAIN(tst_Sync)
#include "tst_sync.moc"
