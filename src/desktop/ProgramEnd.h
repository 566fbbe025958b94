#pragma once

namespace quillbox::desktop {

// Ends the program with a status. The Qt implementation never returns; fakes do, so callers
// must not rely on that for anything but the real run.
class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    virtual void end(int status) = 0;
};

// Ends the process on the spot. Leaving through the event loop instead would let the rest of
// the handler that is running (and any modal loop it sits in) go on against a broken database.
class QtProgramEnd : public ProgramEnd {
public:
    [[noreturn]] void end(int status) override;
};

} // namespace quillbox::desktop
