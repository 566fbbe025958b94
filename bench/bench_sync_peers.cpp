// bench_sync_peers: quillbox-db sync beside vdirsyncer (Debian's package, the sync another device
// would run), each with 2,000 contacts (or as many as the argument says) and an address book of
// its own on the same server, run as their users run them:
//   first sync up     2,000 local contacts into an empty address book
//   first sync down   the 2,000 cards of a book into an empty file (for vdirsyncer, a folder)
//   idle              a sync with nothing changed
//   ten changes       a sync after ten edits on each side
// on a Radicale and a Xandikos of its own (127.0.0.1, a free port, a fresh folder). Prints the
// median of the rounds per case and the ratio quillbox-db / vdirsyncer; the goal is at most 1.0
// on every case. Each side is changed as its user would change it: the contacts file through
// SQL, vdirsyncer's .vcf files rewritten, the server through plain requests as a third device.
// vdirsyncer's `discover`, which its user runs once before the first sync, is not timed; the
// first `quillbox-db sync` finds its book itself. Without vdirsyncer the benchmark says so and
// ends with status 0; so does the Xandikos half without xandikos (tools/deps.sh bench installs
// both).

#include "Support.h"
#include "support/RadicaleServer.h"

#include "data/SyncStore.h"
#include "exchange/CardEdit.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr int changes = 10;

const QString user = QStringLiteral("alice");
const QString password = QStringLiteral("secret");

[[noreturn]] void fail(const QString& what) {
    std::fprintf(stderr, "bench_sync_peers: %s\n", qPrintable(what));
    std::exit(1);
}

// Runs `program` to its end and returns the seconds it took; any status but 0 ends the
// benchmark with the end of what the program wrote to its standard error, kept in `log`.
double run(const QString& program, const QStringList& args, const QProcessEnvironment& env,
           const QString& log) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardInputFile(QProcess::nullDevice()); // nothing may stop to ask
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(log);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        QFile f(log);
        const QByteArray said = f.open(QIODevice::ReadOnly) ? f.readAll().right(2000) : "";
        fail(QStringLiteral("%1 %2 failed (status %3):\n%4")
                 .arg(program, args.join(QLatin1Char(' ')))
                 .arg(p.exitCode())
                 .arg(QString::fromUtf8(said)));
    }
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

// The last word of what `program --version` says first ("vdirsyncer, version 0.19.0").
QString versionOf(const QString& program) {
    QProcess p;
    p.start(program, {QStringLiteral("--version")});
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())
        .section(QLatin1Char('\n'), 0, 0)
        .trimmed()
        .section(QLatin1Char(' '), -1);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        fail(QStringLiteral("cannot write %1").arg(path));
}

// A Xandikos of the benchmark's own: its default user's address-book home at /user/contacts/,
// no password checked. Ended with the object, or with this process if it aborts.
class XandikosServer {
public:
    XandikosServer() {
        QTcpServer probe;
        if (!dir_.isValid() || !probe.listen(QHostAddress::LocalHost, 0))
            fail(QStringLiteral("no folder or port for Xandikos"));
        port_ = probe.serverPort();
        probe.close();
        // It logs every request; the benchmark times the clients, not a terminal.
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.setStandardErrorFile(dir_.filePath(QStringLiteral("log")));
        process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        process_.start(QStringLiteral("xandikos"),
                       {QStringLiteral("--defaults"), QStringLiteral("-d"),
                        dir_.filePath(QStringLiteral("store")), QStringLiteral("-l"),
                        QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port_)});
        if (!process_.waitForStarted())
            fail(QStringLiteral("xandikos cannot be started"));
        if (!listensSoon(process_, port_))
            fail(QStringLiteral("xandikos did not start listening"));
    }
    ~XandikosServer() { stopServer(process_); }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port_)); }

private:
    QTemporaryDir dir_;
    quint16 port_ = 0;
    QProcess process_;
};

// Requests as a third device makes them, to either server.
class Device {
public:
    explicit Device(const QUrl& server) : server_(server) {}

    using Reply = DavDevice::Reply;

    Reply request(const QByteArray& method, const QString& path, const QByteArray& body = {},
                  const QList<std::pair<QByteArray, QByteArray>>& headers = {}) {
        return dav_.request(method, server_.resolved(QUrl(path)), body, headers);
    }

    // An empty address book at `path` (ending in '/'); Xandikos takes the body only when it
    // is said to be XML.
    void makeAddressBook(const QString& path) {
        const QByteArray body =
            "<?xml version=\"1.0\"?><d:mkcol xmlns:d=\"DAV:\" "
            "xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:set><d:prop><d:resourcetype>"
            "<d:collection/><c:addressbook/></d:resourcetype></d:prop></d:set></d:mkcol>";
        if (request("MKCOL", path, body, {{"Content-Type", "application/xml; charset=utf-8"}})
                .status != 201)
            fail(QStringLiteral("cannot make the address book %1").arg(path));
    }

    // The paths of the cards in the book at `book`.
    QStringList cards(const QString& book) {
        const Reply r = request("PROPFIND", book,
                                "<?xml version=\"1.0\"?><d:propfind xmlns:d=\"DAV:\"><d:prop>"
                                "<d:getetag/></d:prop></d:propfind>",
                                {{"Depth", "1"}, {"Content-Type", "application/xml"}});
        static const QRegularExpression href(QStringLiteral("<(?:\\w+:)?href>([^<]+)</"));
        QStringList paths;
        for (const auto& m : href.globalMatch(QString::fromUtf8(r.body))) {
            const QString h = m.captured(1);
            if (h.endsWith(QLatin1String(".vcf")))
                paths << (h.startsWith(QLatin1Char('/')) ? h : book + h);
        }
        return paths;
    }

    // Gives `changes` of the book's cards a new e-mail, none of a contact named in `spare`.
    void editCards(const QString& book, const QStringList& spare, const QString& tag) {
        int edited = 0;
        for (const QString& path : cards(book)) {
            if (edited == changes)
                return;
            const Reply got = request("GET", path);
            if (spare.contains(quillbox::exchange::readCard(got.body).name))
                continue;
            const QByteArray card = quillbox::exchange::editCard(
                got.body,
                {std::nullopt, QStringLiteral("%1%2@example.org").arg(tag).arg(edited), {}, {}});
            if (request("PUT", path, card,
                        {{"If-Match", got.etag}, {"Content-Type", "text/vcard; charset=utf-8"}})
                        .status /
                    100 !=
                2)
                fail(QStringLiteral("cannot change %1 on the server").arg(path));
            ++edited;
        }
        fail(QStringLiteral("fewer than %1 cards in %2").arg(changes).arg(book));
    }

private:
    QUrl server_;
    DavDevice dav_{user, password};
};

struct Times {
    std::vector<double> up, down, idle, ten;
};

// The two tools, each in folders of its own under one temporary folder.
class Tools {
public:
    Tools(const QString& sample, const QString& vdirsyncer)
        : sample_(sample), vdirsyncer_(vdirsyncer),
          people_(quillbox::data::SyncStore(sample).contacts()) {
        if (!dir_.isValid() || people_.size() < size_t(2 * changes))
            fail(QStringLiteral("no temporary folder or too small a sample"));
        quillbox_ = QProcessEnvironment::systemEnvironment();
        quillbox_.insert(QStringLiteral("QUILLBOX_SYNC_PASSWORD"), password);
        // The account the sync keeps for the user goes here, not into the user's own.
        quillbox_.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
    }

    QString path(const QString& name) const { return dir_.filePath(name); }
    int contacts() const { return int(people_.size()); }

    // The sample, as a file ready for its first sync.
    QString quillboxFile(const QString& name) {
        const QString file = path(name + QStringLiteral(".scc"));
        if (!QFile::copy(sample_, file))
            fail(QStringLiteral("cannot copy %1").arg(sample_));
        return file;
    }
    QString emptyQuillboxFile(const QString& name) {
        const QString file = path(name + QStringLiteral(".scc"));
        run(QStringLiteral(QUILLBOX_DB), {QStringLiteral("create"), file}, quillbox_,
            path(QStringLiteral("create.log")));
        return file;
    }
    double quillbox(const QString& file, const QUrl& book = {}) {
        QStringList args{QStringLiteral("sync"), file};
        if (!book.isEmpty())
            args << QStringLiteral("--url") << book.toString() << QStringLiteral("--user") << user;
        return run(QStringLiteral(QUILLBOX_DB), args, quillbox_, file + QStringLiteral(".log"));
    }

    // A folder for vdirsyncer, paired with `book` and discovered: its cards are the sample's
    // contacts, one .vcf file each, when `filled`, else none.
    QString vdirsyncerFolder(const QString& name, const QUrl& book, bool filled) {
        const QDir folder(path(name));
        if (!folder.mkpath(QStringLiteral("cards")) || !folder.mkpath(QStringLiteral("status")))
            fail(QStringLiteral("cannot make %1").arg(folder.path()));
        writeFile(folder.filePath(QStringLiteral("config")),
                  QStringLiteral("[general]\nstatus_path = \"%1/status/\"\n\n"
                                 "[pair contacts]\na = \"local\"\nb = \"remote\"\n"
                                 "collections = null\n\n"
                                 "[storage local]\ntype = \"filesystem\"\npath = \"%1/cards/\"\n"
                                 "fileext = \".vcf\"\n\n"
                                 "[storage remote]\ntype = \"carddav\"\nurl = \"%2\"\n"
                                 "username = \"%3\"\npassword = \"%4\"\n")
                      .arg(folder.path(), book.toString(), user, password)
                      .toUtf8());
        if (filled)
            for (const auto& c : people_)
                writeCard(folder.path(), c.number, c.fields);
        vdirsyncer(folder.path(), QStringLiteral("discover"));
        return folder.path();
    }
    double vdirsyncer(const QString& folder, const QString& command = QStringLiteral("sync")) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VDIRSYNCER_CONFIG"), folder + QStringLiteral("/config"));
        return run(vdirsyncer_, {command}, env, folder + QStringLiteral("/") + command + ".log");
    }

    // The names of the contacts each tool changes locally; the server's changes spare them.
    QStringList locallyChanged() const {
        QStringList names;
        for (int i = 0; i < changes; ++i)
            names << people_[people_.size() - 1 - size_t(i)].fields.name;
        return names;
    }
    // Round `n`'s new phones for the contacts locallyChanged() names.
    void changeQuillboxFile(const QString& file, int n) {
        quillbox::data::SyncStore store(file);
        store.write([&] {
            for (int i = 0; i < changes; ++i) {
                auto c = people_[people_.size() - 1 - size_t(i)];
                c.fields.phone = QStringLiteral("555 0%1%2").arg(n).arg(i);
                store.updateContact(c.number, c.fields);
            }
        });
    }
    void changeVdirsyncerFolder(const QString& folder, int n) {
        for (int i = 0; i < changes; ++i) {
            auto c = people_[people_.size() - 1 - size_t(i)];
            c.fields.phone = QStringLiteral("555 0%1%2").arg(n).arg(i);
            writeCard(folder, c.number, c.fields);
        }
    }

    // What arrived: the contacts in `file`, and among them those with an e-mail tagged `tag`.
    static std::pair<int, int> quillboxHas(const QString& file, const QString& tag) {
        int tagged = 0;
        const auto all = quillbox::data::SyncStore(file).contacts();
        for (const auto& c : all)
            tagged += c.fields.email.startsWith(tag);
        return {int(all.size()), tagged};
    }
    static std::pair<int, int> vdirsyncerHas(const QString& folder, const QString& tag) {
        int all = 0, tagged = 0;
        const QDir cards(folder + QStringLiteral("/cards"));
        for (const QString& name : cards.entryList({QStringLiteral("*.vcf")}, QDir::Files)) {
            QFile f(cards.filePath(name));
            if (!f.open(QIODevice::ReadOnly))
                fail(QStringLiteral("cannot read %1").arg(f.fileName()));
            ++all;
            tagged += quillbox::exchange::readCard(f.readAll()).email.startsWith(tag);
        }
        return {all, tagged};
    }

private:
    static void writeCard(const QString& folder, std::int64_t number,
                          const quillbox::contact::Contact& f) {
        const QString uid = QStringLiteral("bench-%1").arg(number);
        writeFile(QStringLiteral("%1/cards/%2.vcf").arg(folder, uid),
                  quillbox::exchange::newCard(f, uid));
    }

    QTemporaryDir dir_;
    QString sample_, vdirsyncer_;
    std::vector<quillbox::data::StoredContact> people_;
    QProcessEnvironment quillbox_;
};

void expect(std::pair<int, int> got, int all, int tagged, const QString& what) {
    if (got.first != all || got.second != tagged)
        fail(QStringLiteral("%1 holds %2 contacts, %3 of them changed on the server; expected "
                            "%4 and %5")
                 .arg(what)
                 .arg(got.first)
                 .arg(got.second)
                 .arg(all)
                 .arg(tagged));
}

void report(const QString& server, const Times& q, const Times& v) {
    using quillbox::bench::median;
    std::printf("\n%s\n  %-18s %12s %12s %8s\n", qPrintable(server), "case", "quillbox-db",
                "vdirsyncer", "ratio");
    for (const auto& [name, times] :
         {std::pair{"first sync up", &Times::up}, std::pair{"first sync down", &Times::down},
          std::pair{"idle", &Times::idle}, std::pair{"ten changes", &Times::ten}}) {
        const double a = median(q.*times), b = median(v.*times);
        std::printf("  %-18s %10.2f s %10.2f s %8.2f%s\n", name, a, b, a / b,
                    a > b ? "   slower" : "");
    }
}

// Every case on one server, whose user's books are made under `home`: `upRounds` first syncs up
// into fresh books, the last of which the other cases then use for `rounds` rounds. Files,
// folders and books are named after the server's initial and the round. Which tool goes first
// alternates with the rounds, so that neither always meets a server just woken or just busied
// by the other.
void benchOn(Tools& tools, const QString& server, const QUrl& url, const QString& home, int rounds,
             int upRounds) {
    Device device(url);
    const int contacts = tools.contacts();
    Times q, v;
    const auto both = [](int n, auto&& a, auto&& b) {
        if (n % 2) {
            a();
            b();
        } else {
            b();
            a();
        }
    };
    QString qBook, vBook, qFile, vFolder;
    for (int n = 1; n <= upRounds; ++n) {
        const QString name = server.left(1).toLower() + QString::number(n);
        qBook = home + QStringLiteral("q%1/").arg(name);
        vBook = home + QStringLiteral("v%1/").arg(name);
        device.makeAddressBook(qBook);
        device.makeAddressBook(vBook);
        qFile = tools.quillboxFile(QLatin1Char('q') + name);
        vFolder = tools.vdirsyncerFolder(QLatin1Char('v') + name, url.resolved(vBook), true);
        both(
            n, [&] { q.up.push_back(tools.quillbox(qFile, url.resolved(qBook))); },
            [&] { v.up.push_back(tools.vdirsyncer(vFolder)); });
        if (device.cards(qBook).size() != contacts || device.cards(vBook).size() != contacts)
            fail(QStringLiteral("a first sync up left other than %1 cards").arg(contacts));
    }
    const QStringList spare = tools.locallyChanged();
    for (int n = 1; n <= rounds; ++n) {
        const QString name = server.left(1).toLower() + QString::number(n);
        const QString tag = name + QLatin1Char('-');
        // Both read the book quillbox-db filled, into a new file and a new folder.
        const QString qDown = tools.emptyQuillboxFile(QStringLiteral("qd") + name);
        const QString vDown =
            tools.vdirsyncerFolder(QStringLiteral("vd") + name, url.resolved(qBook), false);
        both(
            n, [&] { q.down.push_back(tools.quillbox(qDown, url.resolved(qBook))); },
            [&] { v.down.push_back(tools.vdirsyncer(vDown)); });
        expect(Tools::quillboxHas(qDown, tag), contacts, 0, QStringLiteral("quillbox-db's file"));
        expect(Tools::vdirsyncerHas(vDown, tag), contacts, 0,
               QStringLiteral("vdirsyncer's folder"));

        both(
            n, [&] { q.idle.push_back(tools.quillbox(qFile)); },
            [&] { v.idle.push_back(tools.vdirsyncer(vFolder)); });

        device.editCards(qBook, spare, tag);
        device.editCards(vBook, spare, tag);
        tools.changeQuillboxFile(qFile, n);
        tools.changeVdirsyncerFolder(vFolder, n);
        both(
            n, [&] { q.ten.push_back(tools.quillbox(qFile)); },
            [&] { v.ten.push_back(tools.vdirsyncer(vFolder)); });
        expect(Tools::quillboxHas(qFile, tag), contacts, changes,
               QStringLiteral("quillbox-db's file"));
        expect(Tools::vdirsyncerHas(vFolder, tag), contacts, changes,
               QStringLiteral("vdirsyncer's folder"));
    }
    report(server, q, v);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times quillbox-db sync beside vdirsyncer on Radicale and Xandikos."));
    parser.addHelpOption();
    quillbox::bench::SampleOptions options(
        parser, QStringLiteral("The quillbox-db that makes the sample file."), 3, {2000});
    // Each first sync up is 4,000 PUTs, which the server writes one after another: minutes.
    const QCommandLineOption upRounds(QStringLiteral("up-rounds"),
                                      QStringLiteral("Timed first syncs up (default 1)."),
                                      QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption servers(
        QStringLiteral("servers"),
        QStringLiteral("The servers, of radicale and xandikos (default both)."),
        QStringLiteral("LIST"), QStringLiteral("radicale,xandikos"));
    parser.addOptions({upRounds, servers});
    parser.process(app);
    bool ok = false;
    const int ups = parser.value(upRounds).toInt(&ok);
    const QStringList chosen = parser.value(servers).split(QLatin1Char(','));
    const auto known = [](const QString& s) {
        return s == QLatin1String("radicale") || s == QLatin1String("xandikos");
    };
    if (!ok || ups < 1 || !std::all_of(chosen.begin(), chosen.end(), known))
        parser.showHelp(2);

    const QString vdirsyncer = QStandardPaths::findExecutable(QStringLiteral("vdirsyncer"));
    if (vdirsyncer.isEmpty()) {
        std::printf("bench_sync_peers: skipped, vdirsyncer is not installed (Debian's "
                    "vdirsyncer; tools/deps.sh bench)\n");
        return 0;
    }
    const std::int64_t contacts = options.sizes().front();
    if (contacts < 2 * changes)
        parser.showHelp(2);
    const QString sample = quillbox::bench::sampleFile(options.folder(), options.tool(), contacts);
    std::printf("bench_sync_peers: %lld contacts, medians of %d rounds (first sync up: %d), "
                "vdirsyncer %s; load average %s\n",
                static_cast<long long>(contacts), options.rounds(), ups,
                qPrintable(versionOf(vdirsyncer)), qPrintable(quillbox::bench::loadAverage()));
    std::fflush(stdout);
    Tools tools(sample, vdirsyncer);
    if (chosen.contains(QStringLiteral("radicale"))) {
        RadicaleServer radicale;
        benchOn(tools, QStringLiteral("Radicale ") + versionOf(QStringLiteral("radicale")),
                radicale.url(), QStringLiteral("/%1/").arg(user), options.rounds(), ups);
        std::fflush(stdout);
    }
    if (!chosen.contains(QStringLiteral("xandikos"))) {
    } else if (QStandardPaths::findExecutable(QStringLiteral("xandikos")).isEmpty()) {
        std::printf("\nXandikos: skipped, xandikos is not installed (Debian's xandikos; "
                    "tools/deps.sh bench)\n");
    } else {
        XandikosServer xandikos;
        benchOn(tools, QStringLiteral("Xandikos ") + versionOf(QStringLiteral("xandikos")),
                xandikos.url(), QStringLiteral("/user/contacts/"), options.rounds(), ups);
    }
    std::printf("\nload average at the end %s; goal: every ratio at most 1.0\n",
                qPrintable(quillbox::bench::loadAverage()));
    return 0;
}
