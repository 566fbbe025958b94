#pragma once

#include "platform/ProgramEnd.h"

#include <vector>

namespace quillbox::test {

// Records the status instead of ending; the code under test carries on after it.
class FakeProgramEnd : public platform::ProgramEnd {
public:
    void end(int status) override { statuses.push_back(status); }

    std::vector<int> statuses;
};

} // namespace quillbox::test
