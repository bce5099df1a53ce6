#include "foundation/KTarga.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "foundation/KError.h"
#include "foundation/KLog.h"

namespace {

constexpr size_t kHeaderSize = 18;
constexpr uint8_t kTrueColour = 2;
constexpr uint8_t kRightToLeft = 0x10;
constexpr uint8_t kTopToBottom = 0x20;

// The diagnostic names are the ones operators have long seen in their logs.
[[noreturn]] void Refuse(KLog* log, int code, bool warning, const char16_t* text) {
    if (log) {
        const KString line = KString(u"KBitmap::ImportTarga: ") + text;
        warning ? log->LogWarning(line) : log->LogError(line);
    }
    throw KError(code);
}

uint16_t Word(std::span<const uint8_t> data, size_t offset) {
    return static_cast<uint16_t>(data[offset] | data[offset + 1] << 8);
}

uint32_t Widen5(uint32_t v) { return (v << 3) | (v >> 2); }

uint32_t ReadPixel(const uint8_t* p, unsigned bytesPerPixel) {
    if (bytesPerPixel == 2) {
        const uint32_t word = p[0] | p[1] << 8;
        return 0xFF000000u | Widen5((word >> 10) & 0x1F) << 16 | Widen5((word >> 5) & 0x1F) << 8 |
               Widen5(word & 0x1F);
    }
    // Blue, green, red; a fourth (alpha) byte is skipped.
    return 0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

}  // namespace

KImage DecodeTarga(std::span<const uint8_t> data, KLog* log, size_t maxPixels) {
    if (data.size() < kHeaderSize) Refuse(log, KErrorCode::kFileContents, false, u"header incomplete");
    const uint8_t idLength = data[0];
    const uint8_t colourMapType = data[1];
    const uint8_t imageType = data[2];
    const uint16_t colourMapLength = Word(data, 5);
    const uint8_t colourMapEntryBits = data[7];
    const uint16_t width = Word(data, 12);
    const uint16_t height = Word(data, 14);
    const uint8_t bitsPerPixel = data[16];
    const uint8_t descriptor = data[17];

    if (imageType != kTrueColour) Refuse(log, KErrorCode::kFileVersion, true, u"header.imageType != 2");
    if (bitsPerPixel != 15 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32)
        Refuse(log, KErrorCode::kFileVersion, true, u"header.bitsPerPixel invalid");
    if (width == 0 || height == 0) Refuse(log, KErrorCode::kFileContents, true, u"header size invalid");

    // Every size below comes from 8- and 16-bit fields, so none of the sums can overflow.
    size_t offset = kHeaderSize + idLength;
    if (colourMapType != 0) offset += size_t{colourMapLength} * ((colourMapEntryBits + 7u) / 8u);
    const unsigned bytesPerPixel = (bitsPerPixel + 7u) / 8u;
    const size_t pixelCount = size_t{width} * height;
    // Checked before anything is allocated: a header cannot ask for more than the file holds.
    if (offset > data.size() || (data.size() - offset) / bytesPerPixel < pixelCount)
        Refuse(log, KErrorCode::kFileContents, false, u"file too short");
    if (pixelCount > maxPixels) Refuse(log, KErrorCode::kAllocation, false, u"AllocateMemory() failed");

    KImage image;
    try {
        image.pixels.resize(pixelCount);
    } catch (const std::bad_alloc&) {
        Refuse(log, KErrorCode::kAllocation, false, u"AllocateMemory() failed");
    }
    image.width = width;
    image.height = height;
    const bool topToBottom = descriptor & kTopToBottom;
    const bool rightToLeft = descriptor & kRightToLeft;
    const uint8_t* source = data.data() + offset;
    for (size_t row = 0; row < height; ++row) {
        const size_t y = topToBottom ? row : height - 1 - row;
        uint32_t* target = image.pixels.data() + y * width;
        for (size_t column = 0; column < width; ++column, source += bytesPerPixel) {
            const size_t x = rightToLeft ? width - 1 - column : column;
            target[x] = ReadPixel(source, bytesPerPixel);
        }
    }
    return image;
}

KImage LoadTarga(const std::filesystem::path& path, KLog* log) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) throw KError(KErrorCode::kFileOpen, errno);

    // The largest image accepted needs no more than this; whatever follows (a
    // version 2 footer, say) is never looked at.
    constexpr size_t kMostBytesUsed = kHeaderSize + 255 + 65535 * 4 + kTargaMaxPixels * 4;
    std::vector<uint8_t> bytes;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        bytes.reserve(std::min<size_t>(static_cast<size_t>(info.st_size), kMostBytesUsed));
    while (bytes.size() < kMostBytesUsed) {
        const size_t used = bytes.size();
        bytes.resize(used + std::min<size_t>(65536, kMostBytesUsed - used));
        const ssize_t count = ::read(fd, bytes.data() + used, bytes.size() - used);
        const int error = count < 0 ? errno : 0;
        bytes.resize(used + static_cast<size_t>(std::max<ssize_t>(count, 0)));
        if (error == EINTR) continue;
        if (count < 0) {
            ::close(fd);
            throw KError(KErrorCode::kFileRead, error);
        }
        if (count == 0) break;
    }
    ::close(fd);
    return DecodeTarga(bytes, log);
}
