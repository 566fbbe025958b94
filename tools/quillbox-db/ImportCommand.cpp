#include "Command.h"
#include "Exchange.h"
#include "Files.h"
#include "Progress.h"
#include "data/Check.h"
#include "errors/UserError.h"

#include <QTextStream>

#include <optional>

namespace quillbox::tools {

namespace {

// The people of `file`, read as `format` or as its name says.
std::vector<Person> peopleOf(const QString& file, std::optional<FileFormat> format,
                             const ProgressReport& progress) {
    try {
        const FileFormat fileFormat = format ? *format : formatFromName(file);
        const QByteArray contents = readWholeFile(file);
        stopIfInterrupted();
        return readPeople(contents, fileFormat, progress);
    } catch (const UserError& e) {
        throw UserError(QStringLiteral("cannot import %1: %2; nothing was imported")
                            .arg(shown(file), e.message()));
    }
}

ImportReport storeInto(const QString& database, const std::vector<Person>& people,
                       const ProgressReport& progress) {
    try {
        if (const QString why = whyNotARegularFile(database); !why.isEmpty())
            throw UserError(why + QStringLiteral("; nothing was imported"));
        // A file that check calls unusable is refused in check's words, before anything is
        // written to it.
        if (const data::CheckReport sound = data::checkFile(database); !sound.usable())
            throw UserError(QStringLiteral("it cannot be used by Quillbox: %1; nothing was "
                                           "imported")
                                .arg(sound.problems.join(QStringLiteral("; "))));
        return storePeople(database, people, interrupted, progress);
    } catch (const UserError& e) {
        // Whatever an interrupt cut short (a check or a wait for a busy file) stored nothing.
        throw UserError(QStringLiteral("cannot import into %1: %2")
                            .arg(shown(database), interrupted() ? QStringLiteral("interrupted; "
                                                                                 "nothing was "
                                                                                 "imported")
                                                                : e.message()));
    }
}

// What was taken, cut and left out, on stdout.
void tell(const ImportReport& report, const QString& file, const QString& database) {
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
}

int run(const QStringList& arguments) {
    CommandLine command(
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
    if (const int status = command.parse(arguments, 1, "import reads one FILE."); status >= 0)
        return status;
    const QStringList& files = command.files;
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
    const std::optional<FileFormat> given = !parser.isSet(format) ? std::nullopt
                                            : formatName == QLatin1String("csv")
                                                ? std::optional(FileFormat::Csv)
                                                : std::optional(FileFormat::VCard);
    const std::vector<Person> people = peopleOf(file, given, half(0));
    const ImportReport report = storeInto(database, people, half(500));
    progress.finish();
    tell(report, file, database);
    return Success;
}

} // namespace

const Command importCommand{"import", "FILE.vcf|FILE.csv --into DATABASE",
                            "Adds the people of vCards or a CSV table as contacts.", run};

} // namespace quillbox::tools
