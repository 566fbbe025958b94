// The login's password test: a verifier accepts exactly the text it was made from, a plain
// stored value compares exactly, and nothing a file holds can crash or stall the check.

#include "data/EngineError.h"
#include "security/Password.h"

#include <QFile>
#include <QTest>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using quillbox::data::Value;
using namespace quillbox::security;

namespace {
const QString Password = QStringLiteral("Open Sesame");
} // namespace

class TestPassword : public QObject {
    Q_OBJECT

    QString verifier_; // about a tenth of a second each, so the common one is made once

private slots:
    void initTestCase() { verifier_ = makePasswordVerifier(Password); }

    void accepts_data() {
        QTest::addColumn<Value>("stored"); // "<v>": the verifier of Password
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        const Value v("<v>");
        QTest::newRow("the password") << v << Password << true;
        QTest::newRow("other case") << v << Password.toLower() << false;
        QTest::newRow("trailing blank") << v << Password + " " << false;
        QTest::newRow("prefix") << v << Password.chopped(1) << false;
        QTest::newRow("empty") << v << QString() << false;
        QTest::newRow("the verifier itself") << v << verifier_ << false;
        QTest::newRow("a megabyte") << v << QString(1 << 20, u'x') << false;
        QTest::newRow("plain text") << Value("secret") << "secret" << true;
        QTest::newRow("plain, other case") << Value("secret") << "Secret" << false;
        QTest::newRow("plain, a megabyte") << Value("secret") << QString(1 << 20, u'x') << false;
        QTest::newRow("empty opens with empty") << Value("") << QString() << true;
        QTest::newRow("empty, a blank") << Value("") << " " << false;
        QTest::newRow("a number") << Value(1234) << "1234" << true;
        QTest::newRow("a number, other form") << Value(1234) << "1234.0" << false;
        QTest::newRow("a real") << Value(2.5) << "2.5" << true;
        QTest::newRow("Null, empty") << Value() << QString() << false;
        QTest::newRow("Null, text") << Value() << "secret" << false;
    }
    void accepts() {
        QFETCH(Value, stored);
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QCOMPARE(passwordAccepts(stored == Value("<v>") ? Value(verifier_) : stored, typed), accepted);
    }

    // Salted; the text cannot be read from it; taken byte for byte as typed, whatever its length.
    void verifiers() {
        QVERIFY(verifier_.startsWith("$argon2id$"));
        const QString again = makePasswordVerifier(Password);
        QVERIFY(again != verifier_ && passwordAccepts(Value(again), Password));
        QVERIFY(!verifier_.contains(Password, Qt::CaseInsensitive));
        const QString composed = QStringLiteral("Pässwörd✓");
        const QString v = makePasswordVerifier(composed);
        QVERIFY(passwordAccepts(Value(v), composed));
        QVERIFY(!passwordAccepts(Value(v), composed.normalized(QString::NormalizationForm_D)));
        const QString huge(1 << 20, u'x');
        QVERIFY(passwordAccepts(Value(makePasswordVerifier(huge)), huge));
    }

    // Whatever a damaged file holds where the verifier was, the login is refused, promptly:
    // a ruinous cost is not paid before refusing.
    void damagedVerifierAcceptsNothing_data() {
        QTest::addColumn<QString>("stored");
        QStringList parts = verifier_.split(u'$'); // "", algorithm, version, parameters, salt, hash
        QCOMPARE(parts.size(), 6);
        auto changed = [&](int part) {
            QStringList p = parts;
            p[part][2] = p[part][2] == u'A' ? u'B' : u'A';
            return p.join(u'$');
        };
        QTest::newRow("hash changed") << changed(5);
        QTest::newRow("salt changed") << changed(4);
        QTest::newRow("passes changed") << QString(verifier_).replace(",t=2,", ",t=3,");
        QTest::newRow("truncated") << verifier_.chopped(10);
        QTest::newRow("bare prefix") << "$argon2id$";
        QTest::newRow("NUL inside") << QString(verifier_).insert(verifier_.size() - 5, QChar());
        QTest::newRow("non-ASCII inside") << QString(verifier_).insert(verifier_.size() - 5, "é");
        QTest::newRow("endless passes") << QString(verifier_).replace(",t=2,", ",t=4294967295,");
        QTest::newRow("endless memory") << QString(verifier_).replace("m=65536,", "m=4294967295,");
    }
    void damagedVerifierAcceptsNothing() {
        QFETCH(QString, stored);
        QVERIFY(stored != verifier_);
        QVERIFY(!passwordAccepts(Value(stored), Password));
    }

    // Out of memory, making a verifier raises the error, never hands back something that would
    // be stored as if it were one. The limit is set in a child process.
    void failureToHashIsAnError() {
        QFile statm("/proc/self/statm");
        if (!statm.open(QIODevice::ReadOnly))
            QSKIP("no /proc here to size the memory limit from");
        const rlim_t limit = statm.readAll().split(' ').value(0).toULongLong() *
                                 static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (16u << 20);
        const pid_t child = fork();
        if (child == 0) {
            const rlimit rl{limit, limit};
            int code = 10;
            if (setrlimit(RLIMIT_AS, &rl) == 0) {
                try {
                    makePasswordVerifier(Password);
                    code = 11;
                } catch (const quillbox::data::EngineError& e) {
                    code = e.number() == error::VerifierFailed &&
                                   e.description() == "The password could not be protected: the "
                                                      "system is short of memory."
                               ? 0
                               : 12;
                }
            }
            _exit(code);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
    }
};

QTEST_GUILESS_MAIN(TestPassword)
#include "tst_password.moc"
