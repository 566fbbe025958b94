#include "Sync.h"

#include "Files.h"

#include "data/Check.h"
#include "data/SyncStore.h"
#include "errors/UserError.h"
#include "os/SecretPrompt.h"
#include "sync/Account.h"
#include "sync/SyncEngine.h"

#include <QFileInfo>
#include <QProcess>
#include <QUrl>
#include <QUuid>

namespace quillbox::tools {

namespace {

// The first line the command prints. It runs without a shell: its words are split as a shell
// would, but nothing in them is expanded or run.
QString passwordFrom(const QString& command) {
    QStringList words = sync::splitCommand(command);
    if (words.isEmpty())
        throw UserError(QStringLiteral("the password command is empty"));
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.setStandardInputFile(QProcess::nullDevice());
    const QString program = words.takeFirst();
    p.start(program, words);
    if (!p.waitForStarted())
        throw UserError(QStringLiteral("the password command %1 cannot be run: %2")
                            .arg(program, p.errorString()));
    p.waitForFinished(120000);
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        throw UserError(
            QStringLiteral("the password command %1 did not end within two minutes").arg(program));
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw UserError(QStringLiteral("the password command %1 failed (status %2)")
                            .arg(program)
                            .arg(p.exitCode()));
    QByteArray line = p.readAllStandardOutput();
    line.truncate(line.indexOf('\n') < 0 ? line.size() : line.indexOf('\n'));
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        throw UserError(QStringLiteral("the password command %1 printed no password").arg(program));
    return QString::fromUtf8(line);
}

// A text the file chose, fit to print: no control characters, not endless.
QString printable(QString text) {
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QLatin1Char('?');
    return text.size() > 200 ? text.left(200) + QStringLiteral("...") : text;
}

// No account of the user's for this file: say what an older version kept in it (its server and
// user, never its command, which is not run) and the one command that sets the account up.
[[noreturn]] void noAccount(const QString& file, data::SyncStore& store) {
    QString message = QStringLiteral("%1 has no sync account of yours yet.").arg(shown(file));
    if (const auto former = store.formerAccount())
        message += QStringLiteral(" An older version kept in the file the server %1 and the user "
                                  "%2; settings kept in a file are not used, nor the command it "
                                  "names.")
                       .arg(printable(QUrl(former->url).toDisplayString(QUrl::RemoveUserInfo)),
                            printable(former->user));
    throw UserError(message + QStringLiteral(" Set the account up once with:\n  quillbox-db "
                                             "sync %1 --url URL --user NAME --password-command "
                                             "CMD")
                                  .arg(shown(file)),
                    UserError::Kind::NeedsUser);
}

QString obtainPassword(const sync::Account& account) {
    if (const QString env = qEnvironmentVariable("QUILLBOX_SYNC_PASSWORD"); !env.isEmpty())
        return env;
    if (!account.passwordCommand.isEmpty())
        return passwordFrom(account.passwordCommand);
    const auto typed = os::askSecret(QStringLiteral("Password for %1: ").arg(account.user));
    if (!typed)
        throw UserError(QStringLiteral("no password: set QUILLBOX_SYNC_PASSWORD, give "
                                       "--password-command, or run the sync in a terminal to be "
                                       "asked"),
                        UserError::Kind::NeedsUser);
    return *typed;
}

QString where(const sync::Account& a) {
    return QStringLiteral("%1 on %2")
        .arg(a.book, QUrl(a.url).toDisplayString(QUrl::RemoveUserInfo | QUrl::RemovePath));
}

} // namespace

SyncOutcome syncFile(const QString& file, const SyncOptions& options, QTextStream& out) {
    const QFileInfo info(file);
    if (!info.isFile())
        throw UserError(QStringLiteral("there is no database file %1").arg(shown(file)));
    // A file check calls unusable is refused in check's words, before anything is read from it
    // or written to it: its schema may run code of its own when the sync writes.
    if (const data::CheckReport sound = data::checkFile(file); !sound.usable()) {
        if (sound.busy)
            return SyncOutcome::FileBusy;
        throw UserError(QStringLiteral("%1 cannot be used by Quillbox: %2; nothing was synced")
                            .arg(shown(file), sound.problems.join(QStringLiteral("; "))));
    }
    const QString path = info.canonicalFilePath();
    const sync::Accounts accounts;
    const sync::SyncLock lock(accounts, path);
    if (!lock.held())
        return SyncOutcome::AnotherRunning;

    data::SyncStore store(file);
    const std::optional<sync::Account> stored = accounts.find(path);
    if (!stored && (options.url.isEmpty() || options.user.isEmpty()))
        noAccount(file, store);
    sync::Account account = stored.value_or(sync::Account{});
    // Another server, user or address book is found afresh; the same one keeps its book.
    if ((!options.url.isEmpty() && options.url != account.url) ||
        (!options.user.isEmpty() && options.user != account.user) || !options.addressBook.isEmpty())
        account.book.clear();
    for (const auto& [given, kept] :
         {std::pair{&options.url, &account.url}, std::pair{&options.user, &account.user},
          std::pair{&options.passwordCommand, &account.passwordCommand}})
        if (!given->isEmpty())
            *kept = *given;
    if (!options.caFile.isEmpty())
        account.caFile = QFileInfo(options.caFile).absoluteFilePath();

    if (account.key.isEmpty())
        account.key = QUuid::createUuid().toString(QUuid::WithoutBraces);

    sync::SyncSettings settings;
    settings.url = account.url;
    settings.user = account.user;
    settings.addressBook = options.addressBook;
    settings.caFile = account.caFile;
    settings.book = account.book;
    settings.accountKey = account.key;
    settings.allowDeletions = options.allowDeletions;
    settings.password = obtainPassword(account);

    sync::SyncEngine engine(store, settings, [&](const QString& line) {
        if (!options.quiet) {
            out << line << '\n';
            out.flush();
        }
    });
    // Even --quiet tells that the password goes over a connection anyone on the way can read.
    engine.warn = [](const QString& line) {
        QTextStream(stderr) << "quillbox-db: " << line << '\n';
    };
    // The account is remembered once the server has answered for it, before the sync writes.
    engine.bookChosen = [&](const QString& book) {
        account.book = book;
        if (stored && stored->book != book && !stored->book.isEmpty()) {
            out << QStringLiteral("the address book is now %1 (it was %2)\n")
                       .arg(where(account), where(*stored));
            out.flush();
        }
        if (account != stored)
            accounts.save(path, account);
    };
    const sync::SyncCounts c = engine.run();
    out << QStringLiteral("server: %1 added, %2 changed, %3 deleted; here: %4 added, %5 changed, "
                          "%6 deleted; %7 conflicts; %8 not synced\n")
               .arg(c.addedThere)
               .arg(c.changedThere)
               .arg(c.deletedThere)
               .arg(c.addedHere)
               .arg(c.changedHere)
               .arg(c.deletedHere)
               .arg(c.conflicts)
               .arg(c.unresolved + c.skipped);
    out.flush();
    return c.unresolved == 0 && c.skipped == 0 ? SyncOutcome::Agreed : SyncOutcome::NotAllSynced;
}

} // namespace quillbox::tools
