#include "Command.h"
#include "NewDatabase.h"
#include "data/SampleContacts.h"

#include <cstdint>
#include <limits>

namespace quillbox::tools {

namespace {

using data::SampleContacts;

int run(const QStringList& arguments) {
    CommandLine command(
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

    const QStringList& files = command.files;
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
    createDatabase(options);
    return Success;
}

} // namespace

const Command createCommand{"create", "FILE [--contacts N] [--seed S]",
                            "Writes a new database FILE.", run};

} // namespace quillbox::tools
