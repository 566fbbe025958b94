#pragma once

#include "shell/MailHandOver.h"

#include <vector>

namespace quillbox::test {

// Records every mail request instead of starting a mail program.
class FakeMail : public shell::MailHandOver {
public:
    void open(const QString& request) override { requests.push_back(request); }

    std::vector<QString> requests;
};

} // namespace quillbox::test
