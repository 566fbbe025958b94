#include "shell/DesktopMail.h"
#include "support/FakeMail.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>
#include <utility>

using quillbox::shell::DesktopMail;

// The window tests put the fake where the real hand-over goes.
static_assert(!std::is_abstract_v<quillbox::test::FakeMail>);

namespace {

constexpr int patience = 10000;

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A folder that is the user's home while it lives, where stand-in openers record their arguments,
// their working folder and their process id.
class Scratch {
public:
    Scratch() : hadHome_(qEnvironmentVariableIsSet("HOME")), savedHome_(qgetenv("HOME")) {
        qputenv("HOME", QFile::encodeName(dir_.path()));
    }
    ~Scratch() {
        if (hadHome_)
            qputenv("HOME", savedHome_);
        else
            qunsetenv("HOME");
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    bool isValid() const { return dir_.isValid() && !dir_.path().contains(u'\''); }
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString canonicalPath() const { return QFileInfo(dir_.path()).canonicalFilePath(); }
    QStringList entries() const {
        return QDir(dir_.path())
            .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // Writes the stand-in opener and returns its path. One that `blocks` goes on, as the same
    // process, to read the fifo "release" until every writer has closed it.
    QString writeStandIn(bool blocks,
                         QFileDevice::Permissions permissions = QFileDevice::ReadOwner |
                                                                QFileDevice::WriteOwner |
                                                                QFileDevice::ExeOwner) {
        const auto at = [this](const char* name) {
            return "'" + QFile::encodeName(path(QString::fromLatin1(name))) + "'";
        };
        QByteArrayList lines{
            "#!/bin/sh",
            "printf '%s\\0' \"$@\" > " + at("args.part"),
            "echo $# > " + at("count"),
            "pwd -P > " + at("cwd"),
            "echo $$ > " + at("pid"),
            "mv " + at("args.part") + " " + at("args"),
        };
        if (blocks)
            lines << "exec cat " + at("release");
        const QByteArray script = lines.join('\n') + '\n';
        const QString standIn = path(QStringLiteral("opener.sh"));
        QFile file(standIn);
        if (!file.open(QIODevice::WriteOnly) || file.write(script) != script.size())
            return {};
        file.close();
        file.setPermissions(permissions);
        return standIn;
    }

    // Whether the stand-in has written everything ("args" appears last, whole).
    bool recorded() const { return QFile::exists(path(QStringLiteral("args"))); }
    qint64 standInPid() const {
        return readFile(path(QStringLiteral("pid"))).trimmed().toLongLong();
    }

private:
    QTemporaryDir dir_;
    bool hadHome_;
    QByteArray savedHome_;
};

// A fifo held open for writing: a blocking stand-in reads it until the hold ends, so it outlives
// neither the hold nor, when a check fails, the test function.
class Release {
public:
    explicit Release(QString path) : path_(std::move(path)) {
        const QByteArray name = QFile::encodeName(path_);
        if (::mkfifo(name.constData(), 0600) == 0)
            fd_ = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    }
    ~Release() { release(); }
    Release(const Release&) = delete;
    Release& operator=(const Release&) = delete;

    bool isValid() const { return fd_ >= 0; }
    // Unlinked first: a stand-in that has yet to open the fifo then fails to, instead of waiting
    // for a writer that never comes; one that has it open reads its end.
    void release() {
        if (fd_ < 0)
            return;
        ::unlink(QFile::encodeName(path_).constData());
        ::close(fd_);
        fd_ = -1;
    }

private:
    QString path_;
    int fd_ = -1;
};

// "fd -> target" for every open descriptor of the process.
QStringList descriptors(qint64 pid) {
    const QString folder = QStringLiteral("/proc/%1/fd").arg(pid);
    QStringList entries;
    const QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        char target[4096];
        const QByteArray link = QFile::encodeName(folder + u'/' + name);
        const ssize_t length = ::readlink(link.constData(), target, sizeof target);
        if (length >= 0)
            entries << name + QStringLiteral(" -> ") +
                           QFile::decodeName(QByteArray(target, static_cast<qsizetype>(length)));
    }
    std::sort(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
        return a.section(u' ', 0, 0).toInt() < b.section(u' ', 0, 0).toInt();
    });
    return entries;
}

bool holds(qint64 pid, const QString& target) {
    return descriptors(pid).filter(QStringLiteral(" -> ") + target).size() == 1;
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
    void requestArrivesAsOneArgument_data();
    void requestArrivesAsOneArgument();
    void openerThatCannotStartIsIgnored_data();
    void openerThatCannotStartIsIgnored();
    void openDoesNotWaitForTheOpener();
    void openerGetsNothingOfOursButNullStandardChannels();
};

void TestMailHandOver::requestArrivesAsOneArgument_data() {
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("sent");
    const auto same = [](const char* name, const QString& request) {
        QTest::newRow(name) << request << request;
    };
    same("plain", QStringLiteral("mailto:a@b.c"));
    same("empty box", QStringLiteral("mailto:"));
    same("blanks kept", QStringLiteral("mailto: a@b.c, x@y.z "));
    same("semicolon", QStringLiteral("mailto:a@b.c; touch INJECTED"));
    same("substitution", QStringLiteral("mailto:$(touch INJECTED)"));
    same("backquotes", QStringLiteral("mailto:`touch INJECTED`"));
    same("single quotes", QStringLiteral("mailto:a@b.c' ; touch INJECTED '"));
    same("double quotes", QStringLiteral("mailto:a@b.c\" && touch INJECTED \""));
    same("newline", QStringLiteral("mailto:a@b.c\ntouch INJECTED"));
    same("CRLF", QStringLiteral("mailto:a@b.c\r\nx@y.z"));
    same("non-ASCII", QStringLiteral("mailto:Zoë <zoe@exämple.org>"));
    same("pipe", QStringLiteral("mailto:a@b.c|touch INJECTED"));
    same("ampersand", QStringLiteral("mailto:a@b.c&touch INJECTED"));
    same("percent not decoded", QStringLiteral("mailto:%41"));
    same("other parameters", QStringLiteral("mailto:a@b.c?subject=Hi%20there&cc=x@y.z&body=a%26b"));
    same("near misses", QStringLiteral("mailto:a@b.c?attached=1&attach_=2&x=attach&attachments"));
    same("empty parameters", QStringLiteral("mailto:a@b.c?&&?"));
    same("send list", QStringLiteral("mailto:a@b.c?subject=1, x@y.z?body=2, , q@r.s"));

    // Parameters asking for a file to be attached go, with the separator before them.
    const auto drops = [](const char* name, const char* request, const char* sent) {
        QTest::newRow(name) << QString::fromUtf8(request) << QString::fromUtf8(sent);
    };
    drops("alone", "mailto:a@b.c?attach=/home/me/.ssh/id", "mailto:a@b.c");
    drops("first", "mailto:a@b.c?attach=/x&subject=Hi&body=B", "mailto:a@b.c?subject=Hi&body=B");
    drops("middle", "mailto:a@b.c?subject=Hi&attachment=/x&body=B",
          "mailto:a@b.c?subject=Hi&body=B");
    drops("last", "mailto:a@b.c?subject=Hi&body=B&ATTACH=/x", "mailto:a@b.c?subject=Hi&body=B");
    drops("mixed case", "mailto:a@b.c?AttachMent=/x&Attach=/y", "mailto:a@b.c");
    drops("name encoded", "mailto:a@b.c?%61ttach=/x&%41TTACHMENT%3d/y&cc=z", "mailto:a@b.c?cc=z");
    drops("encoded twice", "mailto:a@b.c?%2561ttach=/x", "mailto:a@b.c");
    drops("no value, blanks", "mailto:a@b.c? attach &subject=S", "mailto:a@b.c?subject=S");
    drops("encoded separators", "mailto:a@b.c%3fattach=/x%26subject=S", "mailto:a@b.c%3fsubject=S");
    drops("before any '?'", "mailto:a@b.c&attach=/x?subject=S", "mailto:a@b.c?subject=S");
    drops("send list, each address", "mailto:a@b.c?attach=/x, d@e.f?subject=S, g@h.i?attach=/y",
          "mailto:a@b.c?subject=S, g@h.i");
    drops("send list, second address", "mailto:a@b.c, d@e.f?Attachment=/x, g@h.i",
          "mailto:a@b.c, d@e.f");
}

// The byte-for-byte check is what catches a shell: each row loses or changes text when one
// interprets it. INJECTED can only back it up, since a command chained after the opener may run
// after the check.
void TestMailHandOver::requestArrivesAsOneArgument() {
    QFETCH(QString, request);
    QFETCH(QString, sent);
    Scratch scratch;
    QVERIFY(scratch.isValid());
    DesktopMail mail(scratch.writeStandIn(false));

    mail.open(request);

    QTRY_VERIFY_WITH_TIMEOUT(scratch.recorded(), patience);
    QCOMPARE(readFile(scratch.path(QStringLiteral("args"))), sent.toUtf8() + '\0');
    QCOMPARE(readFile(scratch.path(QStringLiteral("count"))), QByteArray("1\n"));
    // The home folder, so that is where an injected command would have left its file.
    QCOMPARE(QFile::decodeName(readFile(scratch.path(QStringLiteral("cwd"))).trimmed()),
             scratch.canonicalPath());
    QVERIFY(!QFile::exists(scratch.path(QStringLiteral("INJECTED"))));
}

enum class Unstartable { Missing, NotExecutable, Folder };
Q_DECLARE_METATYPE(Unstartable)

void TestMailHandOver::openerThatCannotStartIsIgnored_data() {
    QTest::addColumn<Unstartable>("opener");
    QTest::newRow("missing") << Unstartable::Missing;
    QTest::newRow("not executable") << Unstartable::NotExecutable;
    QTest::newRow("a folder") << Unstartable::Folder;
}

void TestMailHandOver::openerThatCannotStartIsIgnored() {
    QFETCH(Unstartable, opener);
    Scratch scratch;
    QVERIFY(scratch.isValid());
    QString program = scratch.path(QStringLiteral("no-such-opener"));
    if (opener == Unstartable::NotExecutable)
        program = scratch.writeStandIn(false, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (opener == Unstartable::Folder)
        QVERIFY(QDir(program).mkpath(QStringLiteral(".")));
    const QStringList before = scratch.entries();
    DesktopMail mail(program);

    QVERIFY_THROWS_NO_EXCEPTION(mail.open(QStringLiteral("mailto:a@b.c")));

    QCOMPARE(scratch.entries(), before);
}

void TestMailHandOver::openDoesNotWaitForTheOpener() {
#ifndef Q_OS_LINUX
    QSKIP("Watches the stand-in through /proc");
#endif
    Scratch scratch;
    QVERIFY(scratch.isValid());
    Release release(scratch.path(QStringLiteral("release")));
    QVERIFY(release.isValid());
    DesktopMail mail(scratch.writeStandIn(true));

    QElapsedTimer timer;
    timer.start();
    mail.open(QStringLiteral("mailto:a@b.c"));
    const qint64 took = timer.elapsed();

    QTRY_VERIFY_WITH_TIMEOUT(scratch.recorded(), patience);
    const qint64 pid = scratch.standInPid();
    QTRY_VERIFY_WITH_TIMEOUT(holds(pid, scratch.canonicalPath() + QStringLiteral("/release")),
                             patience);
    QVERIFY2(took < 500, qPrintable(QStringLiteral("open() took %1 ms").arg(took)));
    QVERIFY(!hasEnded(pid));
    release.release();
    QTRY_VERIFY_WITH_TIMEOUT(hasEnded(pid), patience);
}

void TestMailHandOver::openerGetsNothingOfOursButNullStandardChannels() {
#ifndef Q_OS_LINUX
    QSKIP("Reads the stand-in's descriptors from /proc");
#endif
    Scratch scratch;
    QVERIFY(scratch.isValid());
    Release release(scratch.path(QStringLiteral("release")));
    QVERIFY(release.isValid());
    // Opened the careless way, without close-on-exec, as a library might open a file.
    const int ours = ::open(QFile::encodeName(scratch.path(QStringLiteral("ours"))).constData(),
                            O_CREAT | O_RDWR, 0600);
    QVERIFY(ours >= 0);
    const auto closeOurs = qScopeGuard([ours] { ::close(ours); });
    DesktopMail mail(scratch.writeStandIn(true));

    mail.open(QStringLiteral("mailto:a@b.c"));

    QTRY_VERIFY_WITH_TIMEOUT(scratch.recorded(), patience);
    const qint64 pid = scratch.standInPid();
    const QString fifo = scratch.canonicalPath() + QStringLiteral("/release");
    QTRY_VERIFY_WITH_TIMEOUT(holds(pid, fifo), patience);
    // Only the fifo, opened by the stand-in itself, beside the three channels.
    const QStringList expected{QStringLiteral("0 -> /dev/null"), QStringLiteral("1 -> /dev/null"),
                               QStringLiteral("2 -> /dev/null"), QStringLiteral("3 -> ") + fifo};
    QCOMPARE(descriptors(pid), expected);
    release.release();
    QTRY_VERIFY_WITH_TIMEOUT(hasEnded(pid), patience);
}

QTEST_GUILESS_MAIN(TestMailHandOver)
#include "tst_mailhandover.moc"
