#include "desktop/ProgramEnd.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace quillbox::desktop {

void QtProgramEnd::end(int status) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace quillbox::desktop
