#include "Command.h"
#include "Exchange.h"
#include "Files.h"
#include "errors/UserError.h"

#include <QFile>

namespace quillbox::tools {

namespace {

int run(const QStringList& arguments) {
    CommandLine command(
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
    if (const int status = command.parse(arguments, 1, "export reads one DATABASE."); status >= 0)
        return status;
    const QStringList& files = command.files;
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

} // namespace

const Command exportCommand{"export", "DATABASE --vcard [--version 3.0|4.0] | --csv [-o FILE]",
                            "Writes every contact as vCards or a CSV table.", run};

} // namespace quillbox::tools
