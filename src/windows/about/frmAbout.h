#pragma once

#include "windows/Services.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace quillbox::windows {

// The About window: created for each showing and discarded when closed.
class frmAbout : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(Services& services);

    Services& services() { return s_; }
    void cmdOK3_Click();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    Services& s_;
    QLabel* Label1;
    QLabel* imgIcon;
    QPushButton* cmdOK3;
};

} // namespace quillbox::windows
