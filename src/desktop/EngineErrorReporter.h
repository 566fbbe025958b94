#pragma once

#include "data/EngineError.h"
#include "desktop/MessageBoxService.h"
#include "desktop/ProgramEnd.h"

#include <utility>

namespace quillbox::desktop {

// The one path an engine failure takes to the user: a line on standard error, a stop box with
// the number and description, then the end of the program with status 1.
class EngineErrorReporter {
public:
    static constexpr int exitStatus = 1;

    EngineErrorReporter(MessageBoxService& boxes, ProgramEnd& end) : boxes_(boxes), end_(end) {}

    void report(const data::EngineError& e);

    // Runs f; an EngineError it throws is reported instead of travelling on. Entry points and
    // slots run their work in here so that nothing is thrown through Qt's event loop. Any other
    // exception is a bug and ends in std::terminate.
    template <class F> void guard(F&& f) noexcept {
        try {
            std::forward<F>(f)();
        } catch (const data::EngineError& e) {
            report(e);
        }
    }

private:
    MessageBoxService& boxes_;
    ProgramEnd& end_;
};

} // namespace quillbox::desktop
