#include "Support.h"

#include "data/EngineError.h"
#include "data/Schema.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstdio>

#include <sys/resource.h>
#include <unistd.h>

namespace quillbox::bench {

namespace {

QString sizesText(const std::vector<std::int64_t>& sizes) {
    QStringList texts;
    for (std::int64_t n : sizes)
        texts << QString::number(n);
    return texts.join(QLatin1Char(' '));
}

} // namespace

SampleOptions::SampleOptions(QCommandLineParser& parser, const QString& toolText, int defaultRounds,
                             std::vector<std::int64_t> defaultSizes)
    : parser_(parser),
      data_(QStringLiteral("data"), QStringLiteral("Folder of the sample files (made if missing)."),
            QStringLiteral("DIR"), QStringLiteral(QUILLBOX_BENCH_DATA)),
      tool_(QStringLiteral("tool"), toolText, QStringLiteral("PATH"), QStringLiteral(QUILLBOX_DB)),
      rounds_(QStringLiteral("rounds"),
              QStringLiteral("Timed rounds of each (default %1).").arg(defaultRounds),
              QStringLiteral("N"), QString::number(defaultRounds)),
      defaultSizes_(std::move(defaultSizes)) {
    parser.addOptions({data_, tool_, rounds_});
    if (!defaultSizes_.empty())
        parser.addPositionalArgument(
            QStringLiteral("sizes"),
            QStringLiteral("Numbers of contacts (default %1).").arg(sizesText(defaultSizes_)),
            QStringLiteral("[sizes...]"));
}

QString SampleOptions::folder() const {
    const QString folder = parser_.value(data_);
    QDir().mkpath(folder);
    return folder;
}

QString SampleOptions::tool() const {
    return parser_.value(tool_);
}

int SampleOptions::rounds() const {
    bool ok = false;
    const int n = parser_.value(rounds_).toInt(&ok);
    if (!ok || n < 1)
        parser_.showHelp(2);
    return n;
}

std::vector<std::int64_t> SampleOptions::sizes() const {
    std::vector<std::int64_t> sizes;
    for (const QString& s : parser_.positionalArguments()) {
        bool ok = false;
        sizes.push_back(s.toLongLong(&ok));
        if (!ok || sizes.back() < 0)
            parser_.showHelp(2);
    }
    return sizes.empty() ? defaultSizes_ : sizes;
}

QString sampleFile(const QString& folder, const QString& tool, std::int64_t contacts) {
    const QString file = QDir(folder).filePath(QStringLiteral("contacts-%1.scc").arg(contacts));
    if (QFileInfo::exists(file))
        return file;
    std::printf("making %s ... ", qPrintable(QDir::toNativeSeparators(file)));
    std::fflush(stdout);
    QElapsedTimer timer;
    timer.start();
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(tool, {QStringLiteral("create"), file, QStringLiteral("--contacts"),
                   QString::number(contacts), QStringLiteral("--seed"), QStringLiteral("1")});
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw data::EngineError(-1, QStringLiteral("%1 failed to make %2").arg(tool, file));
    std::printf("%.1f s\n", static_cast<double>(timer.elapsed()) / 1000.0);
    return file;
}

QString stage(const QString& dataFolder, const QString& sample, std::int64_t contacts) {
    const QString folder = QDir(dataFolder).filePath(QStringLiteral("load-%1").arg(contacts));
    const QString target = QDir(folder).filePath(data::schema::FileName);
    if (!QDir().mkpath(folder))
        throw data::EngineError(-1, QStringLiteral("cannot make %1").arg(folder));
    // Made afresh each run: an old link may name a sample file since made anew.
    QFile::remove(target);
    const bool staged =
        ::link(QFile::encodeName(sample).constData(), QFile::encodeName(target).constData()) == 0;
    if (!staged && !QFile::copy(sample, target))
        throw data::EngineError(-1, QStringLiteral("cannot put %1 at %2").arg(sample, target));
    return folder;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.empty() ? 0 : v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

long peakResidentKiB(long pid) {
    QFile status(pid ? QStringLiteral("/proc/%1/status").arg(pid)
                     : QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).simplified().split(' ').front().toLong();
    }
    if (pid)
        return 0;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // kilobytes on Linux
}

QString loadAverage() {
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly)
               ? QString::fromLatin1(f.readAll()).section(QLatin1Char(' '), 0, 2)
               : QStringLiteral("unknown");
}

} // namespace quillbox::bench
