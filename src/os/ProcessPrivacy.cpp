#include "os/ProcessPrivacy.h"

#include <sys/prctl.h>

namespace quillbox::os {

bool keepMemoryPrivate() {
    return ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
}

} // namespace quillbox::os
