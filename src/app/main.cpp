#include "app/InterimWindow.h"
#include "data/Database.h"
#include "data/Recordset.h"
#include "platform/EngineErrorReporter.h"
#include "platform/QtMessageBoxService.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    namespace data = quillbox::data;
    namespace platform = quillbox::platform;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbox"));
    QApplication::setApplicationVersion(QStringLiteral("3.1"));

    platform::QtMessageBoxService boxes;
    platform::QtProgramEnd end;
    platform::EngineErrorReporter reporter(boxes, end);

    std::unique_ptr<QWidget> window;
    reporter.guard([&] {
        const auto db = data::OpenDatabase(QStringLiteral("senha.scc"));
        // The settings record must be there before anything else is shown.
        db->OpenRecordset(QStringLiteral("Player"), data::dbOpenDynaset)
            ->Fields(QStringLiteral("WantPassword"));
        window = quillbox::app::makeInterimWindow(*db);
        window->show();
    });
    return app.exec();
}
