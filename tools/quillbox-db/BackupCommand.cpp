#include "Backup.h"
#include "Command.h"

namespace quillbox::tools {

namespace {

int run(const QStringList& arguments) {
    CommandLine command(
        "backup",
        QStringLiteral(
            "Copies DATABASE to the new file DEST through SQLite's online backup: the copy is "
            "consistent even while Quillbox runs and writes. DEST is readable by its owner only "
            "and must not exist yet."));
    QCommandLineParser& parser = command.parser;
    parser.addPositionalArgument(QStringLiteral("DATABASE"),
                                 QStringLiteral("The database to copy, e.g. senha.scc."));
    parser.addPositionalArgument(QStringLiteral("DEST"), QStringLiteral("The copy to make."));
    if (const int status = command.parse(arguments, 2, "backup takes a DATABASE and a DEST.");
        status >= 0)
        return status;
    const QStringList& files = command.files;
    catchInterrupts();
    backupDatabase(files[0], files[1], interrupted);
    return Success;
}

} // namespace

const Command backupCommand{"backup", "DATABASE DEST",
                            "Copies the file safely, even while Quillbox runs.", run};

} // namespace quillbox::tools
