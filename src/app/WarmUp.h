#pragma once

#include <thread>

namespace quillbox::app {

// Loads on the second core what the first window would otherwise load on the main thread, while
// the main thread has work of its own: fontconfig's configuration, which the first text laid out
// needs (two dozen XML files on a Debian desktop, a third of an empty file's start-up), read
// while the QApplication reaches the display; and Qt's image plugins, which the menu bar's icons
// ask for, loaded while the file is opened and the controls are made. Neither changes what is
// loaded, only where: both are kept process-wide by the libraries that own them.
class StartupWarmUp {
public:
    // Before the QApplication is made.
    StartupWarmUp();
    // Once the QApplication exists and before the first window is made: starts on the image
    // plugins and waits for the fonts' configuration. Text laid out while it is still being read
    // would make Qt read it all again beside it.
    void applicationMade();
    ~StartupWarmUp();

    StartupWarmUp(const StartupWarmUp&) = delete;
    StartupWarmUp& operator=(const StartupWarmUp&) = delete;

private:
    std::thread fonts_, images_;
};

} // namespace quillbox::app
