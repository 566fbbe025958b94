// quillbox-db: makes the database files the program opens but never creates itself, brings
// contacts in and out of them, checks them and backs them up. Each command is in a file of its
// own (Command.h); this one picks it.

#include "Command.h"
#include "Version.h"
#include "errors/UserError.h"
#include "os/ProcessPrivacy.h"

#include <QCoreApplication>
#include <QTextStream>

#include <exception>

using namespace quillbox;
using namespace quillbox::tools;

namespace {

const Command* const commands[] = {&createCommand, &importCommand, &exportCommand,
                                   &checkCommand,  &backupCommand, &syncCommand};

// The commands as the tool's help lists them.
QString commandList() {
    QString text = QStringLiteral("\nCommands (each has its --help):\n");
    for (const Command* c : commands)
        text += QStringLiteral("  %1 %2\n%3%4\n")
                    .arg(QLatin1String(c->name), QLatin1String(c->synopsis), QString(17, u' '),
                         QLatin1String(c->summary));
    return text;
}

} // namespace

int main(int argc, char* argv[]) {
    // A sync holds the password in memory: no core file or debugger may see it.
    os::keepMemoryPrivate();
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
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText(), tool);
    if (parser.isSet(help))
        return showHelp(parser, tool, commandList());
    if (parser.isSet(version)) {
        QTextStream(stdout) << tool << ' ' << QCoreApplication::applicationVersion() << '\n';
        return Success;
    }

    QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty())
        return usageError(QStringLiteral("no command given."), tool);
    const QString command = arguments.takeFirst();
    try {
        for (const Command* c : commands)
            if (command == QLatin1String(c->name))
                return c->run(arguments);
        return usageError(QStringLiteral("unknown command '%1'.").arg(command), tool);
    } catch (const UserError& e) {
        return complain(e.message(), Failure);
    } catch (const std::exception& e) {
        return complain(QString::fromLocal8Bit(e.what()), Failure);
    }
}
