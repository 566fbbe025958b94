// The CardDAV client against a real Radicale: discovery, conditional writes and sync reports.
// The faults a user meets are tried through the sync (tst_sync).

#include "support/RadicaleServer.h"
#include "sync/CardDavClient.h"
#include "sync/SyncError.h"

#include <QtTest>

using namespace quillbox::sync;

class tst_CardDav : public QObject {
    Q_OBJECT

private slots:
    void findsAddressBooks_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("books");
        QTest::addColumn<QStringList>("found");
        const QStringList both{QStringLiteral("/alice/contacts/ Contacts"),
                               QStringLiteral("/alice/work/ Work")};
        QTest::newRow("the server, one book") << "/" << 1 << QStringList{both[0]};
        QTest::newRow("the server, two books") << "/" << 2 << both;
        QTest::newRow("the principal") << "/alice/" << 2 << both;
        QTest::newRow("the book itself") << "/alice/work/" << 2 << QStringList{both[1]};
    }

    void findsAddressBooks() {
        QFETCH(QString, start);
        QFETCH(int, books);
        QFETCH(QStringList, found);
        RadicaleServer server;
        QCOMPARE(server.makeAddressBook(QStringLiteral("contacts"), QStringLiteral("Contacts")),
                 201);
        if (books > 1)
            QCOMPARE(server.makeAddressBook(QStringLiteral("work"), QStringLiteral("Work")), 201);
        HttpClient http(RadicaleServer::user, RadicaleServer::password);
        CardDavClient dav(http, server.url(start));
        QStringList names;
        for (const AddressBook& b : dav.findAddressBooks())
            names << b.path + QLatin1Char(' ') + b.name;
        names.sort();
        QCOMPARE(names, found);
    }

    void conditionalWritesAndChanges() {
        RadicaleServer server;
        server.makeAddressBook(QStringLiteral("contacts"), QStringLiteral("Contacts"));
        HttpClient http(RadicaleServer::user, RadicaleServer::password);
        CardDavClient dav(http, server.url());
        const QString book = QStringLiteral("/alice/contacts/");
        const QString href = book + QStringLiteral("a.vcf");
        QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:a\r\nFN:A\r\nN:;A;;;\r\nEND:VCARD\r\n";

        const auto created = dav.put(href, card, {});
        QCOMPARE(created.status, 201);
        QVERIFY(!created.etag.isEmpty());
        QCOMPARE(dav.put(href, card, {}).status, 412); // If-None-Match: * finds it there
        QCOMPARE(dav.put(href, card, "\"stale\"").status, 412);

        const Changes all = dav.changesSince(book, {});
        QVERIFY(all.complete);
        QCOMPARE(all.changed.size(), size_t(1));
        QCOMPARE(all.changed[0].href, href);
        QCOMPARE(all.changed[0].etag, created.etag);

        const auto changed = dav.put(href, card.replace("FN:A", "FN:B"), created.etag);
        QVERIFY(changed.status == 204 || changed.status == 201);
        QCOMPARE(dav.fetch(book, {href}).at(0).data.contains("FN:B"), true);
        const Changes since = dav.changesSince(book, all.token);
        QVERIFY(!since.complete);
        QCOMPARE(since.changed.size(), size_t(1));

        QCOMPARE(dav.remove(href, created.etag), 412);
        QVERIFY(dav.remove(href, changed.etag) / 100 == 2);
        const Changes gone = dav.changesSince(book, since.token);
        QCOMPARE(gone.removed, QStringList{href});
        QCOMPARE(
            dav.changesSince(book, QStringLiteral("http://radicale.org/ns/sync/bogus")).complete,
            true);
    }
};

QTEST_GUILESS_MAIN(tst_CardDav)
#include "tst_carddav.moc"
