#include "platform/ModalDialogs.h"

#include <QDialog>

namespace quillbox::platform {

void QtModalDialogs::run(QDialog& dialog) { dialog.exec(); }

} // namespace quillbox::platform
