// Any byte string is either a decoded image whose size matches its header or a
// numbered error; never a crash, an overread or an allocation beyond the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "foundation/KError.h"
#include "foundation/KTarga.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const KImage image = DecodeTarga(std::span<const uint8_t>(data, size), nullptr);
        if (image.width <= 0 || image.height <= 0 ||
            image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) ||
            image.pixels.size() > size)
            std::abort();
        for (uint32_t pixel : image.pixels)
            if ((pixel >> 24) != 0xFF) std::abort();
    } catch (const KError&) {
    }
    return 0;
}
