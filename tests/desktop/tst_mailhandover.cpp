// The hand-over to the desktop's mail program: the request reaches the opener as one unchanged
// argument, never through a shell; an opener that cannot start is ignored; open() does not wait
// for it; and it gets nothing of ours but the null device on its three standard channels.

#include "desktop/DesktopMail.h"

#include <QDir>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using quillbox::desktop::DesktopMail;

namespace {

constexpr int patience = 10000;

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A folder that is the user's home while it lives, where a stand-in opener records its
// arguments, their count, its working folder and its process id; one that `blocks` then reads
// the fifo "release" until every writer has closed it.
class Scratch {
public:
    Scratch() : home_(qgetenv("HOME")) { qputenv("HOME", QFile::encodeName(dir_.path())); }
    ~Scratch() { qputenv("HOME", home_); }

    QString path(const QString& name) const { return dir_.filePath(name); }
    QString canonical() const { return QFileInfo(dir_.path()).canonicalFilePath(); }
    QStringList entries() const {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                           QDir::NoDotAndDotDot);
    }
    QString standIn(bool blocks, bool executable = true) const {
        const auto at = [this](const char* name) { return "'" + path(name).toUtf8() + "'"; };
        QByteArray script = "#!/bin/sh\nprintf '%s\\0' \"$@\" > " + at("args.part") +
                            "\necho $# > " + at("count") + "\npwd -P > " + at("cwd") +
                            "\necho $$ > " + at("pid") + "\nmv " + at("args.part") + " " +
                            at("args") + "\n" + (blocks ? "exec cat " + at("release") + "\n" : "");
        QFile file(path("opener.sh"));
        if (!file.open(QIODevice::WriteOnly) || file.write(script) != script.size())
            return {};
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                            (executable ? QFileDevice::ExeOwner : QFileDevice::Permissions()));
        return file.fileName();
    }
    bool recorded() const { return QFile::exists(path("args")); }
    qint64 pid() const { return readFile(path("pid")).trimmed().toLongLong(); }

private:
    QTemporaryDir dir_;
    QByteArray home_;
};

// "fd -> target" for every open descriptor of the process.
QStringList descriptors(qint64 pid) {
    const QString folder = QStringLiteral("/proc/%1/fd").arg(pid);
    QStringList entries;
    for (const QString& name : QDir(folder).entryList(QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = QFile::symLinkTarget(folder + u'/' + name);
        if (!target.isEmpty())
            entries << name + " -> " + target;
    }
    std::sort(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
        return a.section(u' ', 0, 0).toInt() < b.section(u' ', 0, 0).toInt();
    });
    return entries;
}

bool hasEnded(qint64 pid) {
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype name = stat.lastIndexOf(')');
    return name < 0 || stat.mid(name + 2, 1) == "Z";
}

} // namespace

class TestMailHandOver : public QObject {
    Q_OBJECT

private slots:
    // The byte-for-byte check is what catches a shell: each row loses or changes text when one
    // interprets it. Parameters asking for a file to be attached go, with the separator before
    // them; everything else arrives as it was.
    void requestArrivesAsOneArgument_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("sent"); // empty: the request itself
        auto row = [](const char* name, const char* request, const char* sent = "") {
            QTest::newRow(name) << QString::fromUtf8(request) << QString::fromUtf8(sent);
        };
        row("plain", "mailto:a@b.c");
        row("empty box", "mailto:");
        row("blanks kept", "mailto: a@b.c, x@y.z ");
        row("semicolon", "mailto:a@b.c; touch INJECTED");
        row("substitution", "mailto:$(touch INJECTED)`touch INJECTED`");
        row("quotes", "mailto:a@b.c' ; touch INJECTED \" && touch INJECTED \"");
        row("line breaks", "mailto:a@b.c\r\ntouch INJECTED");
        row("non-ASCII", "mailto:Zoë <zoe@exämple.org>");
        row("pipe, ampersand, percent", "mailto:a@b.c|touch INJECTED&%41");
        row("other parameters", "mailto:a@b.c?subject=Hi%20there&cc=x@y.z&body=a%26b");
        row("near misses", "mailto:a@b.c?attached=1&attach_=2&x=attach&attachments");
        row("empty parameters", "mailto:a@b.c?&&?");
        row("send list", "mailto:a@b.c?subject=1, x@y.z?body=2, , q@r.s");
        row("attach alone", "mailto:a@b.c?attach=/home/me/.ssh/id", "mailto:a@b.c");
        row("attach first", "mailto:a@b.c?attach=/x&subject=Hi&body=B", "mailto:a@b.c?subject=Hi&body=B");
        row("attach between", "mailto:a@b.c?subject=Hi&attachment=/x&body=B", "mailto:a@b.c?subject=Hi&body=B");
        row("attach last", "mailto:a@b.c?subject=Hi&body=B&ATTACH=/x", "mailto:a@b.c?subject=Hi&body=B");
        row("mixed case", "mailto:a@b.c?AttachMent=/x&Attach=/y", "mailto:a@b.c");
        row("name encoded", "mailto:a@b.c?%61ttach=/x&%41TTACHMENT%3d/y&cc=z", "mailto:a@b.c?cc=z");
        row("encoded twice", "mailto:a@b.c?%2561ttach=/x", "mailto:a@b.c");
        row("no value, blanks", "mailto:a@b.c? attach &subject=S", "mailto:a@b.c?subject=S");
        row("encoded separators", "mailto:a@b.c%3fattach=/x%26subject=S", "mailto:a@b.c%3fsubject=S");
        row("before any '?'", "mailto:a@b.c&attach=/x?subject=S", "mailto:a@b.c?subject=S");
        // No recipient goes with a dropped parameter, nor does a lost '?' pass to the next.
        row("send list, each address", "mailto:a@b.c?attach=/x, d@e.f?subject=S, g@h.i?attach=/y",
            "mailto:a@b.c, d@e.f?subject=S, g@h.i");
        row("send list, second address", "mailto:a@b.c, d@e.f?Attachment=/x, g@h.i",
            "mailto:a@b.c, d@e.f, g@h.i");
        row("send list, every address", "mailto:a@x?attach=/1, b@x?attach=/2&cc=c@x, d@x?attach=/4",
            "mailto:a@x, b@x?cc=c@x, d@x");
        row("send list, '&' after a lost '?'", "mailto:a@x?attach=/1, b@x&cc=c@x",
            "mailto:a@x, b@x&cc=c@x");
        row("address after a comma in a value", "mailto:a@x?attach=/1,b@x", "mailto:a@x,b@x");
    }
    void requestArrivesAsOneArgument() {
        QFETCH(QString, request);
        QFETCH(QString, sent);
        Scratch scratch;
        DesktopMail(scratch.standIn(false)).open(request);
        QTRY_VERIFY_WITH_TIMEOUT(scratch.recorded(), patience);
        QCOMPARE(readFile(scratch.path("args")), (sent.isEmpty() ? request : sent).toUtf8() + '\0');
        QCOMPARE(readFile(scratch.path("count")), QByteArray("1\n"));
        // The home folder, so that is where an injected command would have left its file.
        QCOMPARE(QString::fromUtf8(readFile(scratch.path("cwd")).trimmed()), scratch.canonical());
        QVERIFY(!QFile::exists(scratch.path("INJECTED")));
    }

    void openerThatCannotStartIsIgnored_data() {
        QTest::addColumn<QString>("opener");
        QTest::newRow("missing") << "missing";
        QTest::newRow("not executable") << "not executable";
        QTest::newRow("a folder") << "folder";
    }
    void openerThatCannotStartIsIgnored() {
        QFETCH(QString, opener);
        Scratch scratch;
        QString program = scratch.path("no-such-opener");
        if (opener == "not executable")
            program = scratch.standIn(false, false);
        if (opener == "folder")
            QVERIFY(QDir().mkpath(program));
        const QStringList before = scratch.entries();
        QVERIFY_THROWS_NO_EXCEPTION(DesktopMail(program).open("mailto:a@b.c"));
        QCOMPARE(scratch.entries(), before);
    }

    void openerRunsOnItsOwn() {
        Scratch scratch;
        const QByteArray fifo = scratch.path("release").toUtf8();
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        int release = ::open(fifo.constData(), O_RDWR | O_CLOEXEC);
        const auto cleanup = qScopeGuard([&] {
            ::unlink(fifo.constData()); // a stand-in yet to open it then fails instead of waiting
            ::close(release);
        });
        // Opened the careless way, without close-on-exec, as a library might open a file.
        const int ours = ::open(scratch.path("ours").toUtf8().constData(), O_CREAT | O_RDWR, 0600);
        const auto closeOurs = qScopeGuard([ours] { ::close(ours); });
        QElapsedTimer timer;
        timer.start();
        DesktopMail(scratch.standIn(true)).open("mailto:a@b.c");
        const qint64 took = timer.elapsed();
        QTRY_VERIFY_WITH_TIMEOUT(scratch.recorded(), patience);
        const qint64 pid = scratch.pid();
        const QString held = "3 -> " + scratch.canonical() + "/release";
        QTRY_VERIFY_WITH_TIMEOUT(descriptors(pid).contains(held), patience);
        QVERIFY2(took < 500, qPrintable(QStringLiteral("open() took %1 ms").arg(took)));
        QCOMPARE(descriptors(pid),
                 QStringList({"0 -> /dev/null", "1 -> /dev/null", "2 -> /dev/null", held}));
        QVERIFY(!hasEnded(pid));
        ::unlink(fifo.constData());
        ::close(release);
        release = -1;
        QTRY_VERIFY_WITH_TIMEOUT(hasEnded(pid), patience);
    }
};

QTEST_GUILESS_MAIN(TestMailHandOver)
#include "tst_mailhandover.moc"
