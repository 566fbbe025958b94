#include "desktop/ModalDialogs.h"

#include <QDialog>

namespace quillbox::desktop {

void QtModalDialogs::run(QDialog& dialog) { dialog.exec(); }

} // namespace quillbox::desktop
