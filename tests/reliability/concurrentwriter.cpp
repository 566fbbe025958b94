// Adds contacts to a file through the record-set layer as fast as it can, once told to start:
// prints "ready" when the file is open, waits for a line on standard input, then adds COUNT
// contacts named "TAG <i>" and prints "<i> <number>" for each. An engine error is printed as
// "error <number> <description>" and ends it with status 3.
//
// usage: concurrentwriter FILE TAG COUNT

#include "data/Database.h"
#include "data/Recordset.h"

#include <QString>

#include <cstdio>
#include <iostream>
#include <string>

using namespace quillbox;

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: concurrentwriter FILE TAG COUNT\n");
        return 2;
    }
    const QString tag = QString::fromLocal8Bit(argv[2]);
    const int count = std::stoi(argv[3]);
    try {
        auto db = data::OpenDatabase(QString::fromLocal8Bit(argv[1]));
        auto rs = db->OpenRecordset(QStringLiteral("Addresses"));
        std::printf("ready\n");
        std::fflush(stdout);
        std::string go;
        std::getline(std::cin, go);
        for (int i = 0; i < count; ++i) {
            rs->AddNew();
            const std::int32_t number = rs->Fields(QStringLiteral("Number")).toInt32();
            rs->Collect(QStringLiteral("Name"), QStringLiteral("%1 %2").arg(tag).arg(i));
            rs->Collect(QStringLiteral("Phone"), QString::number(i));
            rs->Collect(QStringLiteral("Address"), QString());
            rs->Collect(QStringLiteral("email"), QString());
            rs->Update();
            std::printf("%d %d\n", i, number);
        }
        std::fflush(stdout);
    } catch (const data::EngineError& e) {
        std::printf("error %d %s\n", e.number(), e.description().toUtf8().constData());
        return 3;
    }
    return 0;
}
