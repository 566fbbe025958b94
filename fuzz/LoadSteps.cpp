#include "LoadSteps.h"

#include "data/Database.h"
#include "data/MainLoad.h"
#include "data/Recordset.h"
#include "data/Schema.h"
#include "data/Settings.h"
#include "security/Password.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace quillbox::fuzz {

namespace {

// One folder per process. The windows open the file by its bare name in the current folder;
// here it goes by its full name instead, since libFuzzer reads its corpus by relative names
// between runs and the current folder must stay where it was.
const QString& file() {
    static QTemporaryDir folder;
    static const QString name = folder.filePath(data::schema::FileName);
    if (!folder.isValid()) {
        std::fprintf(stderr, "no temporary folder to work in\n");
        std::abort();
    }
    return name;
}

void writeFile(const std::uint8_t* data, std::size_t size) {
    // A journal left by an earlier input would be rolled into this one.
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(file() + QLatin1String(suffix));
    QFile f(file());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
            static_cast<qint64>(size) ||
        !f.flush()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file()));
        std::abort();
    }
}

void loadSteps() {
    using namespace data::schema;
    // The login window: its connection and settings record set stay open for the main window.
    auto loginDb = data::OpenDatabase(file());
    auto login = loginDb->OpenRecordset(Player, data::dbOpenDynaset);
    [[maybe_unused]] const bool protectionOn = data::protectionOn(*login);
    // What pressing OK does, asked whether protection is on or not, so that every file gets it;
    // the main window loads either way, as it would once the right password is typed.
    security::passwordAccepts(login->Fields(Senha), QStringLiteral("letmein"));

    // The main window's own load step.
    data::loadMainWindow(file());
}

} // namespace

void runLoadSteps(const std::uint8_t* data, std::size_t size) {
    writeFile(data, size);
    try {
        loadSteps();
    } catch (const data::EngineError&) {
        // The program's own way of refusing a file.
    }
}

} // namespace quillbox::fuzz
