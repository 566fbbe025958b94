#pragma once

#include <thread>

namespace quillbox::app {

// Loads on the second core what the first window would otherwise load on the main thread, while
// the main thread has work of its own: fontconfig's configuration, which the first text laid out
// needs (two dozen XML files on a Debian desktop, a third of an empty file's start-up), read
// while the QApplication reaches the display; then, while the file is opened and the controls are
// made, Qt's list of font families with the fallbacks of the application's font, and the image
// plugins that the menu bar's icons ask for. Nothing changes in what is loaded, only where: all
// of it is kept process-wide by the libraries that own it.
class StartupWarmUp {
public:
    // Before the QApplication is made.
    StartupWarmUp();
    // Once the QApplication exists and before the first window is made: starts on the families
    // and the image plugins, and waits for the fonts' configuration. Text laid out while it is still being read
    // would make Qt read it all again beside it.
    void applicationMade();
    ~StartupWarmUp();

    StartupWarmUp(const StartupWarmUp&) = delete;
    StartupWarmUp& operator=(const StartupWarmUp&) = delete;

private:
    std::thread configuration_, caches_;
};

} // namespace quillbox::app
