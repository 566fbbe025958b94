#pragma once

#include "support/FakeClipboard.h"
#include "support/FakeDialogs.h"
#include "support/FakeMail.h"
#include "support/FakeMessageBoxes.h"
#include "support/FakeProgramEnd.h"
#include "support/FakeTray.h"
#include "windows/Services.h"

namespace quillbox::test {

// Every service a window touches, faked, wired as the program wires the real ones.
struct FakeServices {
    FakeMessageBoxes boxes;
    FakeProgramEnd end;
    FakeTray tray;
    FakeClipboard clipboard;
    FakeDialogs dialogs;
    FakeMail mail;
    platform::EngineErrorReporter errors{boxes, end};
    windows::Services services{boxes, end, errors, tray, clipboard, dialogs, mail};
};

} // namespace quillbox::test
