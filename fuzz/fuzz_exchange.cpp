// libFuzzer entry of one of the exchange targets, chosen by QUILLBOX_FUZZ_TARGET.

#include "ExchangeTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quillbox::fuzz::QUILLBOX_FUZZ_TARGET(data, size);
    return 0;
}
