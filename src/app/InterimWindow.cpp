#include "app/InterimWindow.h"

#include "data/Database.h"
#include "data/Recordset.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

namespace quillbox::app {

std::unique_ptr<QWidget> makeInterimWindow(data::Database& db) {
    const int count = db.OpenRecordset(QStringLiteral("Addresses"))->RecordCount();
    auto window = std::make_unique<QWidget>();
    window->setWindowTitle(QStringLiteral("Quillbox"));
    auto* layout = new QVBoxLayout(window.get());
    layout->addWidget(new QLabel(count == 1 ? QStringLiteral("1 contact")
                                            : QStringLiteral("%1 contacts").arg(count)));
    return window;
}

} // namespace quillbox::app
