#include "Command.h"

#include "data/Connection.h"
#include "errors/UserError.h"
#include "os/Posix.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>

namespace quillbox::tools {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onSignal(int) {
    g_interrupted = 1;
}

// A wait for a busy file can last many seconds: on a terminal, say what is being waited for.
// An interrupt ends the wait.
bool waitForBusyFile(int tries) {
    static bool told = false;
    if (tries == 0 && !told && os::stderrIsTerminal()) {
        told = true;
        QTextStream(stderr) << QStringLiteral("\r%1: another program is writing to the database "
                                              "file; waiting for it (Ctrl-C stops)\n")
                                   .arg(tool);
    }
    return interrupted();
}

} // namespace

const QString tool = QStringLiteral("quillbox-db");

int complain(const QString& message, int status) {
    QTextStream(stderr) << tool << ": " << message << '\n';
    return status;
}

int usageError(const QString& message, const QString& helpCommand) {
    return complain(message + QStringLiteral("\nTry '%1 --help' for more.").arg(helpCommand),
                    Usage);
}

int showHelp(const QCommandLineParser& parser, const QString& usage, const QString& extra) {
    // The parser names the program by its full path; the help names it as it is typed.
    QString text = parser.helpText();
    const QString path = QCoreApplication::arguments().value(0);
    if (const auto at = text.indexOf(path); at >= 0 && !path.isEmpty())
        text.replace(at, path.size(), usage);
    QTextStream(stdout) << text << extra;
    return Success;
}

QCommandLineOption helpOption() {
    return QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                              QStringLiteral("Displays this help."));
}

QString plural(qint64 n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

void catchInterrupts() {
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    data::setWaitHook(waitForBusyFile);
}

bool interrupted() {
    return g_interrupted != 0;
}

void stopIfInterrupted() {
    if (interrupted())
        throw UserError(QStringLiteral("interrupted"));
}

CommandLine::CommandLine(const char* name, const QString& description)
    : self(tool + QLatin1Char(' ') + QLatin1String(name)) {
    parser.setApplicationDescription(description);
    parser.addOption(help);
}

int CommandLine::parse(const QStringList& arguments, int count, const char* wrongFiles) {
    QStringList argv = arguments;
    argv.prepend(self); // the parser takes the first entry for the program's name
    if (!parser.parse(argv))
        return usageError(parser.errorText(), self);
    if (parser.isSet(help))
        return showHelp(parser, self, helpExtra);
    files = parser.positionalArguments();
    if (count >= 0 && (files.size() != count || files.contains(QString())))
        return usageError(QString::fromUtf8(wrongFiles), self);
    return -1;
}

} // namespace quillbox::tools
