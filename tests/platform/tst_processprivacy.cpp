// The process that holds the password keeps it out of core files and other processes' reach.

#include "platform/ProcessPrivacy.h"

#include <QTest>

#if defined(Q_OS_LINUX)
#include <sys/prctl.h>
#elif defined(Q_OS_UNIX)
#include <sys/resource.h>
#endif

class TestProcessPrivacy : public QObject {
    Q_OBJECT

private slots:
    void memoryIsKeptPrivate() {
#if defined(Q_OS_LINUX)
        QCOMPARE(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 1); // else the check below proves nothing
        QVERIFY(quillbox::platform::keepMemoryPrivate());
        QCOMPARE(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
#elif defined(Q_OS_UNIX)
        QVERIFY(quillbox::platform::keepMemoryPrivate());
        rlimit core{};
        QCOMPARE(::getrlimit(RLIMIT_CORE, &core), 0);
        QCOMPARE(core.rlim_cur, rlim_t{0});
#else
        QSKIP("No such mark here");
#endif
    }
};

QTEST_GUILESS_MAIN(TestProcessPrivacy)
#include "tst_processprivacy.moc"
