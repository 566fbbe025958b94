// bench_sync: quillbox-db sync against a Radicale of its own, run as a user runs it.
//   1. the first sync of 2,000 local contacts into an empty address book, against the floor of
//      2,000 sequential PUTs of the same cards by a minimal client in the same run (goal: at
//      most 1.1 times the floor; Radicale serialises its writes, so more connections are no
//      way round it);
//   2. a sync with nothing changed (goal: under 1 s);
//   3. a sync after 10 changes on each side (goal: under 2 s).

#include "Support.h"
#include "support/RadicaleServer.h"

#include "data/SyncStore.h"
#include "exchange/CardEdit.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>

#include <cstdio>

namespace {

constexpr int contacts = 2000;

double seconds(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

// The account the sync keeps goes to `config`, not to the configuration of whoever runs the
// benchmark.
double sync(const QString& config, const QString& file, const QStringList& first = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUILLBOX_SYNC_PASSWORD"), RadicaleServer::password);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(QUILLBOX_DB), QStringList{QStringLiteral("sync"), file} + first);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "bench_sync: quillbox-db sync failed\n");
        std::exit(1);
    }
    return seconds(t);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QDir().mkpath(QStringLiteral(QUILLBOX_BENCH_DATA));
    const QString sample = quillbox::bench::sampleFile(QStringLiteral(QUILLBOX_BENCH_DATA),
                                                       QStringLiteral(QUILLBOX_DB), contacts);
    const QString file = dir.filePath(QStringLiteral("senha.scc"));
    if (!QFile::copy(sample, file))
        return 1;
    RadicaleServer server;
    server.makeAddressBook(QStringLiteral("floor"), QStringLiteral("Floor"));
    server.makeAddressBook(QStringLiteral("contacts"), QStringLiteral("Contacts"));

    // The floor: the same cards, one PUT after another.
    std::vector<quillbox::data::StoredContact> people = quillbox::data::SyncStore(file).contacts();
    QElapsedTimer t;
    t.start();
    for (const auto& c : people) {
        const QString uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const auto r = server.request(
            "PUT", QStringLiteral("/alice/floor/%1.vcf").arg(uid),
            quillbox::exchange::newCard(c.fields, uid),
            {{"If-None-Match", "*"}, {"Content-Type", "text/vcard; charset=utf-8"}});
        if (r.status != 201)
            return 1;
    }
    const double floor = seconds(t);
    const QString config = dir.filePath(QStringLiteral("config"));
    const double first =
        sync(config, file,
             {QStringLiteral("--url"), server.url().toString(), QStringLiteral("--user"),
              RadicaleServer::user, QStringLiteral("--addressbook"), QStringLiteral("Contacts")});
    const double idle = sync(config, file);

    // Ten changes on each side.
    const QString where = QStringLiteral("/alice/contacts/");
    int changed = 0;
    for (const auto& card : quillbox::data::SyncStore(file).cards()) {
        if (changed == 10)
            break;
        const auto got = server.request("GET", card.href);
        const QByteArray edited = quillbox::exchange::editCard(
            got.body, {std::nullopt, QStringLiteral("new%1@example.org").arg(changed), {}, {}});
        if (server.request("PUT", card.href, edited, {{"If-Match", got.etag}}).status / 100 != 2)
            return 1;
        ++changed;
    }
    {
        quillbox::data::SyncStore store(file);
        store.write([&] {
            for (int i = 0; i < 10; ++i) {
                auto f = people[people.size() - 1 - size_t(i)];
                f.fields.phone = QStringLiteral("555 01%1").arg(i);
                store.updateContact(f.number, f.fields);
            }
        });
    }
    const double tenEach = sync(config, file);

    std::printf("bench_sync: %d contacts against Radicale on 127.0.0.1\n", contacts);
    std::printf("  floor, %d sequential PUTs      %7.2f s\n", contacts, floor);
    std::printf("  first sync                     %7.2f s   %.2f x the floor (goal <= 1.1)\n",
                first, first / floor);
    std::printf("  sync, nothing changed          %7.2f s   (goal < 1 s)\n", idle);
    std::printf("  sync, 10 changes on each side  %7.2f s   (goal < 2 s)\n", tenEach);
    return 0;
}
