// libFuzzer entry: each input is the bytes of a senha.scc.

#include "LoadSteps.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quillbox::fuzz::runLoadSteps(data, size);
    return 0;
}
