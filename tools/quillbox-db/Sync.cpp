#include "Sync.h"

#include "platform/SecretPrompt.h"
#include "sync/SyncError.h"

#include "data/SyncStore.h"

#include <QProcess>

namespace quillbox::tools {

namespace {

using sync::SyncError;

// The first line the command prints. It runs without a shell: its words are split as a shell
// would, but nothing in them is expanded or run.
QString passwordFrom(const QString& command) {
    QStringList words = QProcess::splitCommand(command);
    if (words.isEmpty())
        throw SyncError(QStringLiteral("the password command is empty"));
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.setStandardInputFile(QProcess::nullDevice());
    const QString program = words.takeFirst();
    p.start(program, words);
    if (!p.waitForStarted())
        throw SyncError(QStringLiteral("the password command %1 cannot be run: %2")
                            .arg(program, p.errorString()));
    p.waitForFinished(120000);
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        throw SyncError(QStringLiteral("the password command %1 did not end within two minutes")
                            .arg(program));
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw SyncError(QStringLiteral("the password command %1 failed (status %2)")
                            .arg(program)
                            .arg(p.exitCode()));
    QByteArray line = p.readAllStandardOutput();
    line.truncate(line.indexOf('\n') < 0 ? line.size() : line.indexOf('\n'));
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        throw SyncError(QStringLiteral("the password command %1 printed no password").arg(program));
    return QString::fromUtf8(line);
}

} // namespace

bool syncFile(const QString& file, sync::SyncSettings settings, QTextStream& out) {
    data::SyncStore store(file);
    const auto account = store.account();
    const QString command = !settings.passwordCommand.isEmpty() ? settings.passwordCommand
                            : account                           ? account->passwordCommand
                                                                : QString();
    if (const QString env = qEnvironmentVariable("QUILLBOX_SYNC_PASSWORD"); !env.isEmpty()) {
        settings.password = env;
    } else if (!command.isEmpty()) {
        settings.password = passwordFrom(command);
    } else {
        const QString user = !settings.user.isEmpty() ? settings.user
                             : account                ? account->user
                                                      : QString();
        const auto typed = platform::askSecret(QStringLiteral("Password for %1: ").arg(user));
        if (!typed)
            throw SyncError(QStringLiteral(
                "no password: set QUILLBOX_SYNC_PASSWORD, give --password-command, or run the "
                "sync in a terminal to be asked"));
        settings.password = *typed;
    }

    sync::SyncEngine engine(store, settings, [&](const QString& line) {
        out << line << '\n';
        out.flush();
    });
    const sync::SyncCounts c = engine.run();
    out << QStringLiteral("server: %1 added, %2 changed, %3 deleted; here: %4 added, %5 changed, "
                          "%6 deleted; %7 conflicts\n")
               .arg(c.addedThere)
               .arg(c.changedThere)
               .arg(c.deletedThere)
               .arg(c.addedHere)
               .arg(c.changedHere)
               .arg(c.deletedHere)
               .arg(c.conflicts);
    out.flush();
    return c.unresolved == 0;
}

} // namespace quillbox::tools
