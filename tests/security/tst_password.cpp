// The login's password test: verifiers accept exactly the text they were made from, plain
// stored texts compare exactly, and nothing a file holds can crash or stall the check.

#include "data/EngineError.h"
#include "data/Value.h"
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

// The verifier with one base64 character in the given '$'-separated part replaced.
QString withPartChanged(const QString& verifier, int part) {
    QStringList parts = verifier.split(QLatin1Char('$'));
    QString& p = parts[part];
    const qsizetype i = p.size() / 2;
    p[i] = p[i] == QLatin1Char('A') ? QLatin1Char('B') : QLatin1Char('A');
    return parts.join(QLatin1Char('$'));
}

} // namespace

class TestPassword : public QObject {
    Q_OBJECT

    // Each verifier costs about a tenth of a second, so the common one is made once.
    QString verifier_;

private slots:
    void initTestCase() {
        verifier_ = makePasswordVerifier(Password);
        QVERIFY(verifier_.startsWith(QLatin1String("$argon2id$")));
    }

    void verifierAcceptsExactlyItsText_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("the text") << Password << true;
        QTest::newRow("other case") << Password.toLower() << false;
        QTest::newRow("leading blank") << QLatin1Char(' ') + Password << false;
        QTest::newRow("trailing blank") << Password + QLatin1Char(' ') << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("prefix") << Password.chopped(1) << false;
        QTest::newRow("the verifier itself") << verifier_ << false;
    }
    void verifierAcceptsExactlyItsText() {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QCOMPARE(passwordAccepts(Value(verifier_), typed), accepted);
    }

    void verifiersAreSaltedAndHideTheText() {
        const QString again = makePasswordVerifier(Password);
        QVERIFY(again != verifier_);
        QVERIFY(!again.contains(Password, Qt::CaseInsensitive));
        QVERIFY(!verifier_.contains(Password, Qt::CaseInsensitive));
        QVERIFY(passwordAccepts(Value(again), Password));
    }

    void nonAsciiPasswordRoundTrips() {
        const QString composed = QStringLiteral("Pässwörd✓");
        const QString verifier = makePasswordVerifier(composed);
        QVERIFY(passwordAccepts(Value(verifier), composed));
        // The same letters decomposed are other bytes: the text is taken as typed.
        QVERIFY(
            !passwordAccepts(Value(verifier), composed.normalized(QString::NormalizationForm_D)));
    }

    void plainStoredValueComparesExactly_data() {
        QTest::addColumn<Value>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("same") << Value("secret") << QStringLiteral("secret") << true;
        QTest::newRow("other case") << Value("secret") << QStringLiteral("Secret") << false;
        QTest::newRow("trailing blank") << Value("secret") << QStringLiteral("secret ") << false;
        QTest::newRow("empty, empty") << Value("") << QString() << true;
        QTest::newRow("empty, blank") << Value("") << QStringLiteral(" ") << false;
        QTest::newRow("non-ASCII") << Value("Pässwörd✓") << QStringLiteral("Pässwörd✓") << true;
        QTest::newRow("whole number") << Value(1234) << QStringLiteral("1234") << true;
        QTest::newRow("whole number, other form")
            << Value(1234) << QStringLiteral("1234.0") << false;
        QTest::newRow("real number") << Value(2.5) << QStringLiteral("2.5") << true;
        QTest::newRow("Null, empty") << Value() << QString() << false;
        QTest::newRow("Null, text") << Value() << QStringLiteral("secret") << false;
    }
    void plainStoredValueComparesExactly() {
        QFETCH(Value, stored);
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QCOMPARE(passwordAccepts(stored, typed), accepted);
    }

    // Whatever a damaged file holds where the verifier was, the login is refused, promptly:
    // a ruinous cost must not be paid before refusing.
    void damagedVerifierAcceptsNothing_data() {
        QTest::addColumn<QString>("stored");
        const QStringList parts = verifier_.split(QLatin1Char('$'));
        QCOMPARE(parts.size(), 6); // "", algorithm, version, parameters, salt, hash
        QString v = verifier_;
        QTest::newRow("hash changed") << withPartChanged(verifier_, 5);
        QTest::newRow("salt changed") << withPartChanged(verifier_, 4);
        QTest::newRow("passes changed")
            << QString(v).replace(QStringLiteral(",t=2,"), QStringLiteral(",t=3,"));
        QTest::newRow("truncated") << verifier_.chopped(10);
        QTest::newRow("bare prefix") << QStringLiteral("$argon2id$");
        QTest::newRow("NUL inside") << QString(verifier_).insert(verifier_.size() - 5, QChar());
        QTest::newRow("non-ASCII inside")
            << QString(verifier_).insert(verifier_.size() - 5, QStringLiteral("é"));
        QTest::newRow("endless passes")
            << QString(v).replace(QStringLiteral(",t=2,"), QStringLiteral(",t=4294967295,"));
        QTest::newRow("endless memory")
            << QString(v).replace(QStringLiteral("m=65536,"), QStringLiteral("m=4294967295,"));
    }
    void damagedVerifierAcceptsNothing() {
        QFETCH(QString, stored);
        QVERIFY(stored != verifier_);
        QVERIFY(!passwordAccepts(Value(stored), Password));
    }

    void megabyteEntryIsHandled() {
        const QString huge(1 << 20, QLatin1Char('x'));
        QVERIFY(!passwordAccepts(Value(verifier_), huge));
        QVERIFY(!passwordAccepts(Value("secret"), huge));
        QVERIFY(passwordAccepts(Value(makePasswordVerifier(huge)), huge));
    }

    // Out of memory, making a verifier must raise the error, never hand back something that
    // would be stored as if it were one. The address-space limit is set in a child process so
    // this one is unaffected.
    void failureToHashIsAnError() {
        QFile statm(QStringLiteral("/proc/self/statm"));
        if (!statm.open(QIODevice::ReadOnly))
            QSKIP("no /proc here to size the memory limit from");
        const rlim_t pages = statm.readAll().split(' ').value(0).toULongLong();
        QVERIFY(pages > 0);
        const rlim_t limit = pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (16u << 20);

        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            const rlimit rl{limit, limit};
            int code = 10;
            if (setrlimit(RLIMIT_AS, &rl) == 0) {
                try {
                    makePasswordVerifier(Password);
                    code = 11;
                } catch (const quillbox::data::EngineError& e) {
                    code =
                        e.number() == error::VerifierFailed && !e.description().isEmpty() ? 0 : 12;
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
