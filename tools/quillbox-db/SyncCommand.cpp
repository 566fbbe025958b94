#include "Command.h"
#include "Files.h"
#include "Sync.h"
#include "data/EngineError.h"
#include "errors/UserError.h"
#include "sync/Account.h"

#include <QTextStream>
#include <QUrl>

namespace quillbox::tools {

namespace {

// The sync's statuses, for a timer to act on.
const QString syncStatuses = QStringLiteral(
    "Exit status:\n"
    "  0  both sides agree\n"
    "  1  the sync failed (a fault of the file, the server's answers or the system)\n"
    "  2  the command line is wrong\n"
    "  3  another program held the file locked; try again later\n"
    "  4  the server is out of reach, busy or too slow; try again later\n"
    "  5  another sync of this file is running\n"
    "  6  it needs you: the password was refused, the certificate does not verify, no\n"
    "     account is set up, or it would delete more than it may unasked (--allow-deletions)\n"
    "  7  some cards could not be synced (named above); the next sync tries them again\n");

int run(const QStringList& arguments) {
    CommandLine sync(
        "sync",
        QStringLiteral(
            "Keeps the contacts of DATABASE in step with an address book on a CardDAV server, both "
            "ways: what was added, changed or deleted on either side since the last sync goes to "
            "the other. Where both changed the same text, the server's wins and the replaced one "
            "is told; an edit beats a deletion. The first sync needs --url and --user; your "
            "configuration (%1) remembers them with --password-command, --ca and the address "
            "book, for this DATABASE. Nothing in the file chooses a server or a command. The "
            "password comes from QUILLBOX_SYNC_PASSWORD, else from the password command, else it "
            "is asked for on the terminal; it is never stored.")
            .arg(sync::Accounts().fileName()));
    QCommandLineParser& parser = sync.parser;
    const QString& self = sync.self;
    const QCommandLineOption url(QStringLiteral("url"),
                                 QStringLiteral("The server, or the address book itself; "
                                                "without a user name or password in it."),
                                 QStringLiteral("URL"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("The user name."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption command(
        QStringLiteral("password-command"),
        QStringLiteral("A command whose first line of output is the password, split into words "
                       "as a shell would ('...', \"...\", \\) but run without one, e.g. "
                       "'secret-tool lookup service quillbox'."),
        QStringLiteral("CMD"));
    const QCommandLineOption book(
        QStringLiteral("addressbook"),
        QStringLiteral("Which address book, by display name or path, where there are several."),
        QStringLiteral("NAME"));
    const QCommandLineOption ca(QStringLiteral("ca"),
                                QStringLiteral("A certificate (PEM or DER) to trust besides the "
                                               "system's, for a server with one of its own."),
                                QStringLiteral("FILE"));
    const QCommandLineOption allowDeletions(
        QStringLiteral("allow-deletions"),
        QStringLiteral("Makes a sync that deletes more than half of the contacts on one side "
                       "(and more than 10); without it such a sync stops unwritten."));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("Prints the counts only, no contact's name or "
                                                  "text."));
    parser.addOptions({url, user, command, book, ca, allowDeletions, quiet});
    parser.addPositionalArgument(QStringLiteral("DATABASE"),
                                 QStringLiteral("The database to sync, e.g. senha.scc."));
    sync.helpExtra = QLatin1Char('\n') + syncStatuses;
    if (const int status = sync.parse(arguments, 1, "sync takes one DATABASE."); status >= 0)
        return status;
    const QStringList& files = sync.files;
    // The URL is not echoed: it may hold a password.
    if (!QUrl(parser.value(url)).userInfo().isEmpty())
        return usageError(QStringLiteral("--url holds a user name or password, which are not "
                                         "kept there: give the user with --user and the password "
                                         "through --password-command, QUILLBOX_SYNC_PASSWORD or "
                                         "the terminal's prompt."),
                          self);
    for (const auto& option : {url, user, command, book, ca})
        if (parser.isSet(option) && parser.value(option).isEmpty())
            return usageError(QStringLiteral("--%1 needs a value.").arg(option.names().front()),
                              self);
    try {
        sync::splitCommand(parser.value(command));
    } catch (const UserError& e) {
        return usageError(e.message() + QLatin1Char('.'), self);
    }
    SyncOptions options;
    options.url = parser.value(url);
    options.user = parser.value(user);
    options.passwordCommand = parser.value(command);
    options.addressBook = parser.value(book);
    options.caFile = parser.value(ca);
    options.allowDeletions = parser.isSet(allowDeletions);
    options.quiet = parser.isSet(quiet);
    QTextStream out(stdout);
    const QString file = files.front();
    try {
        switch (syncFile(file, options, out)) {
        case SyncOutcome::Agreed:
            return Success;
        case SyncOutcome::NotAllSynced:
            return complain(QStringLiteral("some cards could not be synced; the next sync tries "
                                           "them again"),
                            NotAllSynced);
        case SyncOutcome::AnotherRunning:
            return complain(QStringLiteral("another sync of %1 is running; this one did nothing")
                                .arg(shown(file)),
                            SyncRunning);
        case SyncOutcome::FileBusy:
            break;
        }
    } catch (const UserError& e) {
        using Kind = UserError::Kind;
        return complain(e.message(), e.kind() == Kind::TryLater    ? TryLater
                                     : e.kind() == Kind::NeedsUser ? NeedsUser
                                                                   : Failure);
    } catch (const data::EngineError& e) {
        return complain(QStringLiteral("cannot sync %1: %2").arg(shown(file), inWords(e)),
                        data::error::busy(e.number()) ? Busy : Failure);
    }
    return complain(QStringLiteral("%1 is busy: another program holds it locked; try again later")
                        .arg(shown(file)),
                    Busy);
}

} // namespace

const Command syncCommand{"sync",
                          "DATABASE [--url URL --user NAME] [--password-command CMD] [--quiet]",
                          "Keeps the contacts in step with a CardDAV address book.", run};

} // namespace quillbox::tools
