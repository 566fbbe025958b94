// Replays every input the fuzzer ever found a fault with, and its seed corpus, through the same
// load steps, in the ordinary build: each must load or end in an EngineError.

#include "LoadSteps.h"
#include "data/Database.h"
#include "data/Recordset.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestFuzzRegressions : public QObject {
    Q_OBJECT

private slots:
    void loadEndsCleanly_data() {
        QTest::addColumn<QString>("path");
        int files = 0;
        for (const char* folder : {QUILLBOX_FUZZ_REGRESSIONS, QUILLBOX_FUZZ_CORPUS}) {
            const QDir dir(QString::fromUtf8(folder));
            for (const QFileInfo& f : dir.entryInfoList(QDir::Files, QDir::Name)) {
                QTest::newRow(qPrintable(dir.dirName() + QLatin1Char('/') + f.fileName()))
                    << f.absoluteFilePath();
                ++files;
            }
        }
        QVERIFY(files > 0);
    }
    void loadEndsCleanly() {
        QFETCH(QString, path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        quillbox::fuzz::runLoadSteps(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                     static_cast<std::size_t>(bytes.size()));
    }

    // A table whose records come back out of order ends a walk with an error that names it,
    // not with a walk that goes round for ever.
    void walkOverRecordsOutOfOrderEnds() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("senha.scc"));
        QVERIFY(QFile::copy(
            QStringLiteral(QUILLBOX_FUZZ_REGRESSIONS "/walk-never-ends-rowids-out-of-order.scc"),
            path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        int moves = 0;
        try {
            auto db = quillbox::data::OpenDatabase(path);
            auto rs = db->OpenRecordset(QStringLiteral("Addresses"));
            for (; !rs->Eof() && moves < 1000; ++moves)
                rs->MoveNext();
            QFAIL("the walk ended without an error");
        } catch (const quillbox::data::EngineError& e) {
            QCOMPARE(e.number(), 11);
            QVERIFY2(e.description().contains(
                         QLatin1String("the records of the table 'Addresses' are out of order")),
                     qPrintable(e.description()));
        }
    }
};

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "tst_fuzzregressions.moc"
