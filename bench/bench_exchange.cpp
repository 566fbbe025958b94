// bench_exchange: the wall time of quillbox-db's export and import of many contacts, run as a
// user runs them: export a sample file to vCard 4.0 and to CSV, then import each into a new
// empty file, and check that every contact arrived.

#include "Support.h"
#include "data/Connection.h"
#include "data/EngineError.h"
#include "data/Sqlite.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using quillbox::data::EngineError;

constexpr double goalSeconds = 5.0;

double runTimed(const QString& tool, const QStringList& arguments) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    bool finished = false;
    const double ms = quillbox::bench::timeMs([&] {
        p.start(tool, arguments);
        finished = p.waitForFinished(-1);
    });
    if (!finished || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw EngineError(-1, QStringLiteral("%1 %2 failed").arg(tool, arguments.join(' ')));
    return ms / 1000;
}

std::int64_t contactCount(const QString& file) {
    quillbox::data::Connection db(file, quillbox::data::Access::ReadOnly);
    quillbox::data::sqlite::Statement s(db.handle(), "SELECT count(*) FROM Addresses");
    return s.step() ? s.int64(0) : -1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times quillbox-db export (vCard 4.0, CSV) and import (each into a new "
                       "empty file) of a sample file, and prints the medians."));
    parser.addHelpOption();
    const quillbox::bench::SampleOptions options(parser, QStringLiteral("The quillbox-db to time."),
                                                 3);
    const QCommandLineOption contacts(QStringLiteral("contacts"),
                                      QStringLiteral("Contacts in the sample (default 100000)."),
                                      QStringLiteral("N"), QStringLiteral("100000"));
    parser.addOption(contacts);
    parser.process(app);
    const int roundCount = options.rounds();
    bool ok = false;
    const std::int64_t size = parser.value(contacts).toLongLong(&ok);
    if (!ok || size < 1)
        parser.showHelp(2);
    const QString db = options.tool();
    const QString folder = options.folder();

    try {
        const QString sample = quillbox::bench::sampleFile(folder, db, size);
        QTemporaryDir scratch(QDir(folder).filePath(QStringLiteral("exchange-XXXXXX")));
        if (!scratch.isValid())
            throw EngineError(-1, QStringLiteral("no scratch folder"));

        struct Step {
            const char* what;
            std::vector<double> seconds;
        };
        Step steps[] = {{"export --vcard (4.0)", {}},
                        {"export --csv", {}},
                        {"import the vCards into an empty file", {}},
                        {"import the CSV into an empty file", {}}};
        bool complete = true;
        qint64 vcardBytes = 0, csvBytes = 0;
        for (int r = 0; r < roundCount; ++r) {
            const QString vcf = scratch.filePath(QStringLiteral("round%1.vcf").arg(r));
            const QString csv = scratch.filePath(QStringLiteral("round%1.csv").arg(r));
            steps[0].seconds.push_back(
                runTimed(db, {QStringLiteral("export"), sample, QStringLiteral("--vcard"),
                              QStringLiteral("-o"), vcf}));
            steps[1].seconds.push_back(
                runTimed(db, {QStringLiteral("export"), sample, QStringLiteral("--csv"),
                              QStringLiteral("-o"), csv}));
            vcardBytes = QFileInfo(vcf).size();
            csvBytes = QFileInfo(csv).size();
            int i = 2;
            for (const QString& from : {vcf, csv}) {
                const QString into =
                    scratch.filePath(QStringLiteral("round%1-%2.scc").arg(r).arg(i));
                runTimed(db, {QStringLiteral("create"), into});
                steps[i++].seconds.push_back(
                    runTimed(db, {QStringLiteral("import"), from, QStringLiteral("--into"), into}));
                complete = complete && contactCount(into) == size;
                QFile::remove(into);
            }
            QFile::remove(vcf);
            QFile::remove(csv);
        }

        std::printf("\n%lld contacts; medians of %d rounds, wall time of the whole command\n"
                    "(vCard file %.1f MiB, CSV file %.1f MiB)\n\n",
                    static_cast<long long>(size), roundCount,
                    static_cast<double>(vcardBytes) / 1048576.0,
                    static_cast<double>(csvBytes) / 1048576.0);
        bool met = complete;
        for (const Step& s : steps) {
            const double m = quillbox::bench::median(s.seconds);
            met = met && m < goalSeconds;
            std::printf("%-40s %8.2f s\n", s.what, m);
        }
        std::printf("\nevery import stored all %lld contacts: %s\n", static_cast<long long>(size),
                    complete ? "yes" : "NO");
        std::printf("goal: each step under %.0f s -- %s\n", goalSeconds, met ? "met" : "NOT met");
        return 0;
    } catch (const EngineError& e) {
        std::fprintf(stderr, "bench_exchange: %s\n", qPrintable(e.description()));
        return 1;
    }
}
