#include "SampleFiles.h"

#include "data/EngineError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>

namespace quillbox::bench {

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

} // namespace quillbox::bench
