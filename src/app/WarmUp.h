#pragma once

#include <thread>

namespace quillbox::app {

// Reads fontconfig's configuration on the second core while the QApplication reaches the
// display: the first text laid out needs it (two dozen XML files on a Debian desktop, a third of
// an empty file's start-up). Nothing changes in what is read, only where: fontconfig keeps it
// process-wide. Only fontconfig is called off the main thread, and it is done before Qt lays out
// any text: Qt's own font and plugin tables, filled from a second thread while the main thread
// showed a message box, could hang the start.
class StartupWarmUp {
public:
    // Before the QApplication is made.
    StartupWarmUp();
    // Once the QApplication exists and before the first window is made: waits for the fonts'
    // configuration. Text laid out while it is still being read would make Qt read it all again
    // beside it.
    void applicationMade();
    ~StartupWarmUp();

    StartupWarmUp(const StartupWarmUp&) = delete;
    StartupWarmUp& operator=(const StartupWarmUp&) = delete;

private:
    std::thread configuration_;
};

} // namespace quillbox::app
