#include "fuzz/media/FuzzDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    return kestrel::media::fuzz::FuzzDecoder(kestrel::media::DecodeBmp, AData, ASize);
}
