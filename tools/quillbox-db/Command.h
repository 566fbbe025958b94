#pragma once

// What the commands of quillbox-db share: the statuses, the messages on stderr, the help, the
// parsing of a command's arguments and Ctrl-C.

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

namespace quillbox::tools {

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

extern const QString tool; // the tool's name, as messages and help give it

// Tells `message` on stderr after the tool's name; returns `status`.
int complain(const QString& message, int status);
// A mistake on the command line, with where to read more; returns Usage.
int usageError(const QString& message, const QString& helpCommand);
// The parser's help on stdout, naming the program as `usage`, then `extra`; returns Success.
int showHelp(const QCommandLineParser& parser, const QString& usage, const QString& extra = {});
QCommandLineOption helpOption();

// "1 contact", "2 contacts".
QString plural(qint64 n, const char* one, const char* many);

// Stopping a long run must not leave a temporary file or a half-done write behind: from
// catchInterrupts() on, Ctrl-C and SIGTERM only set a flag that the work polls, and end a wait
// for a busy file.
void catchInterrupts();
bool interrupted();
// A UserError "interrupted" once the flag is set.
void stopIfInterrupted();

// One command's parser: its description and --help first, then the options the command adds.
struct CommandLine {
    CommandLine(const char* name, const QString& description);
    // Returns -1 to go on, with `files` the positional arguments, or the status to end with:
    // help shown, or a usage error reported, `wrongFiles` where there are not `count` positional
    // arguments, each of them not empty (a count of -1 leaves that to the command).
    int parse(const QStringList& arguments, int count = -1, const char* wrongFiles = nullptr);

    const QString self; // "quillbox-db NAME"
    QCommandLineParser parser;
    const QCommandLineOption help = helpOption();
    QString helpExtra; // shown after the options in --help
    QStringList files;
};

// A command of the tool: what the tool's help lists of it, and what runs it on the arguments
// that follow its name. Each has its own file and its own --help.
struct Command {
    const char* name;
    const char* synopsis; // its arguments, in brief
    const char* summary;  // one line
    int (*run)(const QStringList& arguments);
};

extern const Command createCommand, importCommand, exportCommand, checkCommand, backupCommand,
    syncCommand;

} // namespace quillbox::tools
