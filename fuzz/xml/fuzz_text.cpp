// Fuzzes the text parser (and the writer on whatever it accepts).
#include <cstddef>
#include <cstdint>

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zeph::xml::fuzz::Exercise(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
