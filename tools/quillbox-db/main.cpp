// quillbox-db: makes the database files the program opens but never creates itself, brings
// contacts in and out of them, checks them and backs them up.

#include "Backup.h"
#include "Exchange.h"
#include "Files.h"
#include "NewDatabase.h"
#include "Progress.h"
#include "Sync.h"
#include "Version.h"
#include "data/Check.h"
#include "data/Connection.h"
#include "data/EngineError.h"
#include "data/SampleContacts.h"
#include "errors/UserError.h"
#include "platform/Posix.h"
#include "platform/ProcessPrivacy.h"
#include "sync/Account.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QUrl>

#include <csignal>
#include <cstdint>
#include <exception>
#include <limits>

namespace {

using quillbox::UserError;
using quillbox::data::SampleContacts;
using quillbox::tools::NewDatabase;

enum Exit {
    Success = 0,
    Failure = 1,
    Usage = 2,
    Busy = 3,
    TryLater = 4,
    SyncRunning = 5,
    NeedsUser = 6,
    NotAllSynced = 7
};

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onSignal(int) {
    g_interrupted = 1;
}

const QString tool = QStringLiteral("quillbox-db");

int complain(const QString& message, int status) {
    QTextStream(stderr) << tool << ": " << message << '\n';
    return status;
}

int usageError(const QString& message, const QString& helpCommand) {
    return complain(message + QStringLiteral("\nTry '%1 --help' for more.").arg(helpCommand),
                    Usage);
}

int showHelp(const QCommandLineParser& parser, const QString& usage, const QString& extra = {}) {
    // The parser names the program by its full path; the help names it as it is typed.
    QString text = parser.helpText();
    const QString path = QCoreApplication::arguments().value(0);
    if (const auto at = text.indexOf(path); at >= 0 && !path.isEmpty())
        text.replace(at, path.size(), usage);
    QTextStream(stdout) << text << extra;
    return Success;
}

bool interrupted() {
    return g_interrupted != 0;
}

// A wait for a busy file can last many seconds: on a terminal, say what is being waited for.
// An interrupt ends the wait.
bool waitForBusyFile(int tries) {
    static bool told = false;
    if (tries == 0 && !told && quillbox::platform::stderrIsTerminal()) {
        told = true;
        QTextStream(stderr) << QStringLiteral("\r%1: another program is writing to the database "
                                              "file; waiting for it (Ctrl-C stops)\n")
                                   .arg(tool);
    }
    return interrupted();
}

// Stopping a long run must not leave a temporary file or a half-done write behind: the work
// polls for the signal and unwinds.
void catchInterrupts() {
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    quillbox::data::setWaitHook(waitForBusyFile);
}

void stopIfInterrupted() {
    if (interrupted())
        throw quillbox::UserError(QStringLiteral("interrupted"));
}

QCommandLineOption helpOption() {
    return QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                              QStringLiteral("Displays this help."));
}

// One command's parser: its description and --help first, then the options the command adds.
struct Command {
    Command(const char* name, const QString& description)
        : self(tool + QLatin1Char(' ') + QLatin1String(name)) {
        parser.setApplicationDescription(description);
        parser.addOption(help);
    }
    // Returns -1 to go on, or the status to end with (help shown or a usage error reported).
    int parse(const QStringList& arguments) {
        QStringList argv = arguments;
        argv.prepend(self); // the parser takes the first entry for the program's name
        if (!parser.parse(argv))
            return usageError(parser.errorText(), self);
        if (parser.isSet(help))
            return showHelp(parser, self);
        return -1;
    }

    const QString self;
    QCommandLineParser parser;
    const QCommandLineOption help = helpOption();
};

QString plural(qint64 n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

int runCreate(const QStringList& arguments) {
    Command command(
        "create",
        QStringLiteral("Writes a new database FILE: the tables, the settings record (password "
                       "protection off, an empty password) and, if asked, generated contacts.\n"
                       "An existing file or folder of that name is never overwritten."));
    QCommandLineParser& parser = command.parser;
    const QString& self = command.self;
    const QCommandLineOption contacts(
        QStringLiteral("contacts"),
        QStringLiteral("Adds N generated contacts, 0 to %1 (default 0).")
            .arg(SampleContacts::maxContacts),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption seed(
        QStringLiteral("seed"),
        QStringLiteral("Seeds the generator (default 1): the same seed gives the same contacts."),
        QStringLiteral("S"), QStringLiteral("1"));
    parser.addOptions({contacts, seed});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The database file to write, e.g. senha.scc."));
    if (const int status = command.parse(arguments); status >= 0)
        return status;

    const QStringList files = parser.positionalArguments();
    if (files.isEmpty() || files.front().isEmpty())
        return usageError(QStringLiteral("create needs the name of the FILE to write."), self);
    if (files.size() > 1)
        return usageError(QStringLiteral("create writes one FILE; too many arguments: %1")
                              .arg(files.mid(1).join(QLatin1Char(' '))),
                          self);

    NewDatabase options;
    options.fileName = files.front();
    bool ok = false;
    options.contacts = parser.value(contacts).toLongLong(&ok);
    if (!ok || options.contacts < 0 || options.contacts > SampleContacts::maxContacts)
        return usageError(QStringLiteral("--contacts wants a whole number from 0 to %1, not '%2'.")
                              .arg(SampleContacts::maxContacts)
                              .arg(parser.value(contacts)),
                          self);
    options.seed = parser.value(seed).toULongLong(&ok);
    if (!ok)
        return usageError(QStringLiteral("--seed wants a whole number from 0 to %1, not '%2'.")
                              .arg(std::numeric_limits<std::uint64_t>::max())
                              .arg(parser.value(seed)),
                          self);

    catchInterrupts();
    options.interrupted = interrupted;
    quillbox::tools::createDatabase(options);
    return Success;
}

int runImport(const QStringList& arguments) {
    using namespace quillbox::tools;
    Command command(
        "import",
        QStringLiteral(
            "Adds the people of FILE, vCards (2.1, 3.0, 4.0) or a table exported by a mail program "
            "or spreadsheet (CSV with a header row), to the database as new contacts.\n"
            "All of them go in at once or none does: a file with any fault stores nothing.\n"
            "Texts longer than the program keeps are cut to fit. A person without a name, or "
            "whose name is in the database already or came earlier in FILE, is left out.\n"
            "It reports on stdout what it took, what it cut and what it left out. Quillbox may be "
            "running on the same database meanwhile."));
    QCommandLineParser& parser = command.parser;
    const QString& self = command.self;
    const QCommandLineOption into(QStringLiteral("into"),
                                  QStringLiteral("The database to add to, e.g. senha.scc."),
                                  QStringLiteral("DATABASE"));
    const QCommandLineOption format(
        QStringLiteral("format"),
        QStringLiteral("Reads FILE as vcard or csv whatever its name (by default .vcf and "
                       ".vcard are vCards; .csv, .tsv, .tab and .txt tables)."),
        QStringLiteral("vcard|csv"));
    parser.addOptions({into, format});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The vCard or CSV file to read."));
    if (const int status = command.parse(arguments); status >= 0)
        return status;

    const QStringList files = parser.positionalArguments();
    if (files.size() != 1 || files.front().isEmpty())
        return usageError(QStringLiteral("import reads one FILE."), self);
    if (!parser.isSet(into) || parser.value(into).isEmpty())
        return usageError(QStringLiteral("import needs --into DATABASE."), self);
    const QString file = files.front(), database = parser.value(into);
    const QString formatName = parser.value(format).toLower();
    if (parser.isSet(format) && formatName != QLatin1String("vcard") &&
        formatName != QLatin1String("csv"))
        return usageError(
            QStringLiteral("--format is vcard or csv, not '%1'.").arg(parser.value(format)), self);

    catchInterrupts();
    // Reading the file takes about as long as storing its people: half the bar each.
    Progress progress(QStringLiteral("importing"), 1000);
    const auto half = [&progress](qint64 from) {
        return [&progress, from](qint64 done, qint64 total) {
            stopIfInterrupted();
            progress.update(from + (total > 0 ? 500 * done / total : 0));
        };
    };
    std::vector<Person> people;
    try {
        const FileFormat fileFormat = !parser.isSet(format)                ? formatFromName(file)
                                      : formatName == QLatin1String("csv") ? FileFormat::Csv
                                                                           : FileFormat::VCard;
        const QByteArray contents = readWholeFile(file);
        stopIfInterrupted();
        people = readPeople(contents, fileFormat, half(0));
    } catch (const UserError& e) {
        throw UserError(QStringLiteral("cannot import %1: %2; nothing was imported")
                            .arg(shown(file), e.message()));
    }
    ImportReport report;
    try {
        if (const QString why = whyNotARegularFile(database); !why.isEmpty())
            throw UserError(why + QStringLiteral("; nothing was imported"));
        // A file that check calls unusable is refused in check's words, before anything is
        // written to it.
        if (const quillbox::data::CheckReport sound = quillbox::data::checkFile(database);
            !sound.usable())
            throw UserError(QStringLiteral("it cannot be used by Quillbox: %1; nothing was "
                                           "imported")
                                .arg(sound.problems.join(QStringLiteral("; "))));
        report = storePeople(database, people, interrupted, half(500));
    } catch (const UserError& e) {
        // Whatever an interrupt cut short (a check or a wait for a busy file) stored nothing.
        throw UserError(QStringLiteral("cannot import into %1: %2")
                            .arg(shown(database), interrupted() ? QStringLiteral("interrupted; "
                                                                                 "nothing was "
                                                                                 "imported")
                                                                : e.message()));
    }

    progress.finish();
    QTextStream out(stdout);
    out << QStringLiteral("imported %1 from %2 into %3; cut %4; skipped %5\n")
               .arg(plural(report.taken, "contact", "contacts"), shown(file), shown(database),
                    plural(report.cut.size(), "text", "texts"),
                    plural(report.skipped.size(), "person", "people"));
    for (const QString& line : report.cut)
        out << "cut: " << line << '\n';
    for (const QString& line : report.skipped)
        out << "skipped: " << line << '\n';
    for (const QString& line : report.warnings)
        out << "warning: " << line << '\n';
    return Success;
}

int runExport(const QStringList& arguments) {
    using namespace quillbox::tools;
    Command command(
        "export",
        QStringLiteral(
            "Writes every contact of DATABASE, in the order of the program's list, as vCards or as "
            "a CSV table (UTF-8, lines ended by CR LF), to stdout or to a new FILE.\n"
            "Importing the result into an empty database gives back the same contacts."));
    QCommandLineParser& parser = command.parser;
    const QString& self = command.self;
    const QCommandLineOption vcard(QStringLiteral("vcard"), QStringLiteral("Writes vCards."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("The vCard version, 3.0 or 4.0 (default)."),
                                     QStringLiteral("V"), QStringLiteral("4.0"));
    const QCommandLineOption csv(QStringLiteral("csv"),
                                 QStringLiteral("Writes a table: Name, E-mail Address, Phone, "
                                                "Address."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Writes to FILE, which must not exist yet "
                                                   "(made readable by its owner only)."),
                                    QStringLiteral("FILE"));
    parser.addOptions({vcard, version, csv, output});
    parser.addPositionalArgument(QStringLiteral("DATABASE"),
                                 QStringLiteral("The database to read, e.g. senha.scc."));
    if (const int status = command.parse(arguments); status >= 0)
        return status;

    const QStringList files = parser.positionalArguments();
    if (files.size() != 1 || files.front().isEmpty())
        return usageError(QStringLiteral("export reads one DATABASE."), self);
    if (parser.isSet(vcard) == parser.isSet(csv))
        return usageError(QStringLiteral("export needs one of --vcard and --csv."), self);
    if (parser.isSet(csv) && parser.isSet(version))
        return usageError(QStringLiteral("--version is for --vcard."), self);
    ExportFormat format = ExportFormat::Csv;
    if (parser.isSet(vcard)) {
        const QString v = parser.value(version);
        if (v == QLatin1String("4.0") || v == QLatin1String("4"))
            format = ExportFormat::VCard40;
        else if (v == QLatin1String("3.0") || v == QLatin1String("3"))
            format = ExportFormat::VCard30;
        else
            return usageError(QStringLiteral("--version is 3.0 or 4.0, not '%1'.").arg(v), self);
    }
    if (parser.isSet(output) && parser.value(output).isEmpty())
        return usageError(QStringLiteral("-o needs a FILE name."), self);
    const QString database = files.front(), target = parser.value(output);
    if (!target.isEmpty() && occupied(target))
        throw UserError(QStringLiteral("cannot write %1: a file or folder of that name already "
                                       "exists (it is left as it is)")
                            .arg(shown(target)));

    catchInterrupts();
    std::vector<Person> contacts;
    try {
        contacts = contactsInListOrder(database);
    } catch (const UserError& e) {
        throw e.within(QStringLiteral("cannot export %1").arg(shown(database)));
    }
    if (!target.isEmpty()) {
        writeContactsToNewFile(contacts, format, target, interrupted);
        return Success;
    }
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly))
        throw UserError(QStringLiteral("cannot write to stdout: %1").arg(out.errorString()));
    writeContacts(contacts, format, out, interrupted);
    if (!out.flush())
        throw UserError(QStringLiteral("cannot write to stdout: %1").arg(out.errorString()));
    return Success;
}

int runCheck(const QStringList& arguments) {
    using namespace quillbox::tools;
    Command command(
        "check",
        QStringLiteral(
            "Checks that Quillbox can use DATABASE: that SQLite finds it sound, that it has the "
            "tables, fields and settings record the program needs, and that the program can load "
            "every contact. Ends with status 0 when the program can use the file, 1 when it "
            "cannot, "
            "and 3 when another program holds it locked, so that it could not be checked; try "
            "again later. Warnings tell of things the program copes with."));
    QCommandLineParser& parser = command.parser;
    const QString& self = command.self;
    parser.addPositionalArgument(QStringLiteral("DATABASE"),
                                 QStringLiteral("The database to check, e.g. senha.scc."));
    if (const int status = command.parse(arguments); status >= 0)
        return status;
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1 || files.front().isEmpty())
        return usageError(QStringLiteral("check reads one DATABASE."), self);

    const QString& file = files.front();
    quillbox::data::CheckReport report;
    if (const QFileInfo info(file); !info.exists())
        report.problems << QStringLiteral("there is no file %1").arg(shown(file));
    else if (!info.isFile())
        report.problems
            << QStringLiteral("%1 is a folder or device, not a database file").arg(shown(file));
    else
        report = quillbox::data::checkFile(file);
    QTextStream out(stdout);
    out << QStringLiteral("%1 %2\n").arg(
        shown(files.front()), report.usable() ? QStringLiteral("can be used by Quillbox.")
                              : report.busy   ? QStringLiteral("cannot be checked now:")
                                              : QStringLiteral("cannot be used by Quillbox:"));
    for (const QString& p : report.problems)
        out << "problem: " << p << '\n';
    for (const QString& w : report.warnings)
        out << "warning: " << w << '\n';
    out.flush();
    if (report.busy)
        return complain(QStringLiteral("%1 is busy: another program holds it locked; try again "
                                       "later")
                            .arg(shown(files.front())),
                        Busy);
    if (!report.usable())
        return complain(
            QStringLiteral("%1 cannot be used by Quillbox (%2)")
                .arg(shown(files.front()), plural(report.problems.size(), "problem", "problems")),
            Failure);
    return Success;
}

int runBackup(const QStringList& arguments) {
    using namespace quillbox::tools;
    Command command(
        "backup",
        QStringLiteral(
            "Copies DATABASE to the new file DEST through SQLite's online backup: the copy is "
            "consistent even while Quillbox runs and writes. DEST is readable by its owner only "
            "and must not exist yet."));
    QCommandLineParser& parser = command.parser;
    const QString& self = command.self;
    parser.addPositionalArgument(QStringLiteral("DATABASE"),
                                 QStringLiteral("The database to copy, e.g. senha.scc."));
    parser.addPositionalArgument(QStringLiteral("DEST"), QStringLiteral("The copy to make."));
    if (const int status = command.parse(arguments); status >= 0)
        return status;
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2 || files[0].isEmpty() || files[1].isEmpty())
        return usageError(QStringLiteral("backup takes a DATABASE and a DEST."), self);
    catchInterrupts();
    backupDatabase(files[0], files[1], interrupted);
    return Success;
}

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

int runSync(const QStringList& arguments) {
    using namespace quillbox::tools;
    Command sync(
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
            .arg(quillbox::sync::Accounts().fileName()));
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
    QStringList argv = arguments;
    argv.prepend(self);
    if (!parser.parse(argv))
        return usageError(parser.errorText(), self);
    if (parser.isSet(sync.help))
        return showHelp(parser, self, QLatin1Char('\n') + syncStatuses);
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1 || files.front().isEmpty())
        return usageError(QStringLiteral("sync takes one DATABASE."), self);
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
        quillbox::sync::splitCommand(parser.value(command));
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
    } catch (const quillbox::data::EngineError& e) {
        return complain(QStringLiteral("cannot sync %1: %2").arg(shown(file), inWords(e)),
                        quillbox::data::error::busy(e.number()) ? Busy : Failure);
    }
    return complain(QStringLiteral("%1 is busy: another program holds it locked; try again later")
                        .arg(shown(file)),
                    Busy);
}

} // namespace

int main(int argc, char* argv[]) {
    // A sync holds the password in memory: no core file or debugger may see it.
    quillbox::platform::keepMemoryPrivate();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(tool);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLBOX_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Makes, fills, empties into other formats, checks and backs up the "
                       "database files of Quillbox, which opens its file but never creates "
                       "one."));
    const QCommandLineOption help = helpOption();
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("The command to run (see below)."),
                                 QStringLiteral("command [arguments]"));
    // What follows the command is the command's own to read.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QString commands =
        QStringLiteral("\nCommands (each has its --help):\n"
                       "  create FILE [--contacts N] [--seed S]\n"
                       "                 Writes a new database FILE.\n"
                       "  import FILE.vcf|FILE.csv --into DATABASE\n"
                       "                 Adds the people of vCards or a CSV table as contacts.\n"
                       "  export DATABASE --vcard [--version 3.0|4.0] | --csv [-o FILE]\n"
                       "                 Writes every contact as vCards or a CSV table.\n"
                       "  check DATABASE\n"
                       "                 Tells whether Quillbox can use the file, and what is "
                       "wrong.\n"
                       "  backup DATABASE DEST\n"
                       "                 Copies the file safely, even while Quillbox runs.\n"
                       "  sync DATABASE [--url URL --user NAME] [--password-command CMD] "
                       "[--quiet]\n"
                       "                 Keeps the contacts in step with a CardDAV address "
                       "book.\n");

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText(), tool);
    if (parser.isSet(help))
        return showHelp(parser, tool, commands);
    if (parser.isSet(version)) {
        QTextStream(stdout) << tool << ' ' << QCoreApplication::applicationVersion() << '\n';
        return Success;
    }

    QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty())
        return usageError(QStringLiteral("no command given."), tool);
    const QString command = arguments.takeFirst();
    try {
        if (command == QLatin1String("create"))
            return runCreate(arguments);
        if (command == QLatin1String("import"))
            return runImport(arguments);
        if (command == QLatin1String("export"))
            return runExport(arguments);
        if (command == QLatin1String("check"))
            return runCheck(arguments);
        if (command == QLatin1String("backup"))
            return runBackup(arguments);
        if (command == QLatin1String("sync"))
            return runSync(arguments);
        return usageError(QStringLiteral("unknown command '%1'.").arg(command), tool);
    } catch (const UserError& e) {
        return complain(e.message(), Failure);
    } catch (const std::exception& e) {
        return complain(QString::fromLocal8Bit(e.what()), Failure);
    }
}
