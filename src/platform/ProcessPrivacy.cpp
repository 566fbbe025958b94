#include "platform/ProcessPrivacy.h"

#include <QtGlobal>

#if defined(Q_OS_LINUX)
#include <sys/prctl.h>
#elif defined(Q_OS_UNIX)
#include <sys/resource.h>
#endif

namespace quillbox::platform {

bool keepMemoryPrivate() {
#if defined(Q_OS_LINUX)
    return ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
#elif defined(Q_OS_UNIX)
    const rlimit none{0, 0};
    return ::setrlimit(RLIMIT_CORE, &none) == 0;
#else
    return false;
#endif
}

} // namespace quillbox::platform
