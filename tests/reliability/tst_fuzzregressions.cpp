// Replays every input the fuzzers ever found a fault with, and their seed corpora, through the
// same targets in the ordinary build: each must load or end in an EngineError, be read or
// refused, and come back whole from a round trip. A table whose
// records come back out of order ends a walk with an error that names it, not a walk that goes
// round for ever.

#include "ExchangeTargets.h"
#include "LoadSteps.h"
#include "data/Database.h"
#include "data/Recordset.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestFuzzRegressions : public QObject {
    Q_OBJECT

private slots:
    void loadEndsCleanly_data() {
        QTest::addColumn<QString>("path");
        for (const char* folder : {QUILLBOX_FUZZ_REGRESSIONS, QUILLBOX_FUZZ_CORPUS})
            for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files, QDir::Name))
                QTest::newRow(qPrintable(f.dir().dirName() + "/" + f.fileName())) << f.absoluteFilePath();
    }
    void loadEndsCleanly() {
        QFETCH(QString, path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        quillbox::fuzz::runLoadSteps(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                     static_cast<std::size_t>(bytes.size()));
    }

    void exchangeInputsEndCleanly_data() {
        QTest::addColumn<QString>("path");
        for (const char* target : {"vcard", "csv", "roundtrip"})
            for (const char* folder : {"corpus", "regressions"})
                for (const QFileInfo& f : QDir(QUILLBOX_FUZZ_DIR "/" + QString(folder) + "/" + target)
                                              .entryInfoList(QDir::Files, QDir::Name))
                    QTest::addRow("%s/%s/%s", folder, target, qPrintable(f.fileName()))
                        << f.absoluteFilePath();
    }
    void exchangeInputsEndCleanly() {
        QFETCH(QString, path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        const QString target = f.fileName().section('/', -2, -2);
        const auto run = target == "vcard" ? quillbox::fuzz::readVCardInput
                         : target == "csv" ? quillbox::fuzz::readCsvInput
                                           : quillbox::fuzz::roundTrip;
        run(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
            static_cast<std::size_t>(bytes.size()));
    }

    void walkOverRecordsOutOfOrderEnds() {
        QTemporaryDir dir;
        const QString path = dir.filePath("senha.scc");
        QVERIFY(QFile::copy(QUILLBOX_FUZZ_REGRESSIONS "/walk-never-ends-rowids-out-of-order.scc", path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        try {
            auto rs = quillbox::data::OpenDatabase(path)->OpenRecordset("Addresses");
            for (int moves = 0; !rs->Eof() && moves < 1000; ++moves)
                rs->MoveNext();
            QFAIL("the walk ended without an error");
        } catch (const quillbox::data::EngineError& e) {
            QCOMPARE(e.number(), 11);
            QCOMPARE(e.description(), "'" + path + "': database disk image is malformed: the "
                                      "records of the table 'Addresses' are out of order.");
        }
    }
};

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "tst_fuzzregressions.moc"
