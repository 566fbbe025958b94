#include "platform/ProcessPrivacy.h"

#include <sys/prctl.h>

namespace quillbox::platform {

bool keepMemoryPrivate() {
    return ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
}

} // namespace quillbox::platform
