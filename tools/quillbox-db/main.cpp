// quillbox-db: makes the database files the program opens but never creates itself.

#include "NewDatabase.h"
#include "SampleContacts.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdint>
#include <exception>
#include <limits>

namespace {

using quillbox::tools::CreateError;
using quillbox::tools::NewDatabase;
using quillbox::tools::SampleContacts;

enum Exit { Success = 0, Failure = 1, Usage = 2 };

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

int runCreate(const QStringList& arguments) {
    const QString self = tool + QStringLiteral(" create");
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes a new database FILE: the tables, the settings record (password "
                       "protection off, an empty password) and, if asked, generated contacts.\n"
                       "An existing file or folder of that name is never overwritten."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    const QCommandLineOption contacts(
        QStringLiteral("contacts"),
        QStringLiteral("Adds N generated contacts, 0 to %1 (default 0).")
            .arg(SampleContacts::maxContacts),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption seed(
        QStringLiteral("seed"),
        QStringLiteral("Seeds the generator (default 1): the same seed gives the same contacts."),
        QStringLiteral("S"), QStringLiteral("1"));
    parser.addOptions({help, contacts, seed});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The database file to write, e.g. senha.scc."));

    QStringList argv = arguments;
    argv.prepend(self); // the parser takes the first entry for the program's name
    if (!parser.parse(argv))
        return usageError(parser.errorText(), self);
    if (parser.isSet(help))
        return showHelp(parser, self);

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

    // Stopping a long run must not leave the temporary file behind.
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    options.interrupted = [] { return g_interrupted != 0; };
    quillbox::tools::createDatabase(options);
    return Success;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(tool);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLBOX_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Makes database files for Quillbox, which opens its file but never "
                       "creates one."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("The command to run (see below)."),
                                 QStringLiteral("command [arguments]"));
    // What follows the command is the command's own to read.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QString commands =
        QStringLiteral("\nCommands:\n"
                       "  create FILE [--contacts N] [--seed S]\n"
                       "                 Writes a new database FILE. See '%1 create --help'.\n")
            .arg(tool);

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
        return usageError(QStringLiteral("unknown command '%1'.").arg(command), tool);
    } catch (const CreateError& e) {
        return complain(e.message(), Failure);
    } catch (const std::exception& e) {
        return complain(QString::fromLocal8Bit(e.what()), Failure);
    }
}
