#pragma once

#include <memory>

class QWidget;

namespace quillbox::data {
class Database;
}

namespace quillbox::app {

// Stands in for the main window until it exists: the title and the number of contacts.
std::unique_ptr<QWidget> makeInterimWindow(data::Database& db);

} // namespace quillbox::app
