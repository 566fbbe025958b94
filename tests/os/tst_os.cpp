// The process that holds the password, kept out of core files and other processes' reach.

#include "os/ProcessPrivacy.h"

#include <QtTest>

#include <sys/prctl.h>

class TestOs : public QObject {
    Q_OBJECT

private slots:
    void memoryIsKeptPrivate() {
        QCOMPARE(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 1); // else the check below proves nothing
        QVERIFY(quillbox::os::keepMemoryPrivate());
        QCOMPARE(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    }
};

QTEST_GUILESS_MAIN(TestOs)
#include "tst_os.moc"
