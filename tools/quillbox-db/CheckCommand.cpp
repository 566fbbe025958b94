#include "Command.h"
#include "Files.h"
#include "data/Check.h"

#include <QFileInfo>
#include <QTextStream>

namespace quillbox::tools {

namespace {

int run(const QStringList& arguments) {
    CommandLine command(
        "check",
        QStringLiteral(
            "Checks that Quillbox can use DATABASE: that SQLite finds it sound, that it has the "
            "tables, fields and settings record the program needs, and that the program can load "
            "every contact. Ends with status 0 when the program can use the file, 1 when it "
            "cannot, "
            "and 3 when another program holds it locked, so that it could not be checked; try "
            "again later. Warnings tell of things the program copes with."));
    QCommandLineParser& parser = command.parser;
    parser.addPositionalArgument(QStringLiteral("DATABASE"),
                                 QStringLiteral("The database to check, e.g. senha.scc."));
    if (const int status = command.parse(arguments, 1, "check reads one DATABASE."); status >= 0)
        return status;
    const QStringList& files = command.files;

    const QString& file = files.front();
    data::CheckReport report;
    if (const QFileInfo info(file); !info.exists())
        report.problems << QStringLiteral("there is no file %1").arg(shown(file));
    else if (!info.isFile())
        report.problems
            << QStringLiteral("%1 is a folder or device, not a database file").arg(shown(file));
    else
        report = data::checkFile(file);
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

} // namespace

const Command checkCommand{"check", "DATABASE",
                           "Tells whether Quillbox can use the file, and what is wrong.", run};

} // namespace quillbox::tools
