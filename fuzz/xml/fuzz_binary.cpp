// Fuzzes the reader of the binary form: every input is read behind the marker.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(zeph::xml::detail::kBinaryMarker);
    bytes.append(reinterpret_cast<const char*>(data), size);
    zeph::xml::fuzz::Exercise(bytes);
    return 0;
}
