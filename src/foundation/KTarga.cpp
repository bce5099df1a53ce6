#include "foundation/KTarga.h"

#include <fcntl.h>
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

// Where the pixels are and how they are laid out, from a header that passed the checks.
struct Layout {
    size_t offset;
    unsigned bytesPerPixel;
    uint16_t width;
    uint16_t height;
    uint8_t descriptor;

    size_t PixelCount() const { return size_t{width} * height; }
    size_t BytesNeeded() const { return offset + PixelCount() * bytesPerPixel; }
};

Layout ReadHeader(std::span<const uint8_t> data, KLog* log) {
    if (data.size() < kHeaderSize) Refuse(log, KErrorCode::kFileContents, false, u"header incomplete");
    const uint8_t idLength = data[0];
    const uint8_t colourMapType = data[1];
    const uint8_t imageType = data[2];
    const uint16_t colourMapLength = Word(data, 5);
    const uint8_t colourMapEntryBits = data[7];
    const uint8_t bitsPerPixel = data[16];
    Layout layout{kHeaderSize + idLength, (bitsPerPixel + 7u) / 8u, Word(data, 12), Word(data, 14), data[17]};

    if (imageType != kTrueColour) Refuse(log, KErrorCode::kFileVersion, true, u"header.imageType != 2");
    if (bitsPerPixel != 15 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32)
        Refuse(log, KErrorCode::kFileVersion, true, u"header.bitsPerPixel invalid");
    if (layout.width == 0 || layout.height == 0)
        Refuse(log, KErrorCode::kFileContents, true, u"header size invalid");
    // Every size comes from 8- and 16-bit fields, so none of the sums can overflow.
    if (colourMapType != 0) layout.offset += size_t{colourMapLength} * ((colourMapEntryBits + 7u) / 8u);
    return layout;
}

}  // namespace

KImage DecodeTarga(std::span<const uint8_t> data, KLog* log, size_t maxPixels) {
    const Layout layout = ReadHeader(data, log);
    // Checked before anything is allocated: a header cannot ask for more than the file holds.
    if (layout.BytesNeeded() > data.size()) Refuse(log, KErrorCode::kFileContents, false, u"file too short");
    if (layout.PixelCount() > maxPixels)
        Refuse(log, KErrorCode::kAllocation, false, u"AllocateMemory() failed");

    KImage image;
    try {
        image.pixels.resize(layout.PixelCount());
    } catch (const std::bad_alloc&) {
        Refuse(log, KErrorCode::kAllocation, false, u"AllocateMemory() failed");
    }
    const size_t width = layout.width;
    const size_t height = layout.height;
    image.width = layout.width;
    image.height = layout.height;
    const bool topToBottom = layout.descriptor & kTopToBottom;
    const bool rightToLeft = layout.descriptor & kRightToLeft;
    const uint8_t* source = data.data() + layout.offset;
    for (size_t row = 0; row < height; ++row) {
        const size_t y = topToBottom ? row : height - 1 - row;
        uint32_t* target = image.pixels.data() + y * width;
        for (size_t column = 0; column < width; ++column, source += layout.bytesPerPixel) {
            const size_t x = rightToLeft ? width - 1 - column : column;
            target[x] = ReadPixel(source, layout.bytesPerPixel);
        }
    }
    return image;
}

namespace {

// Reads until `bytes` holds `size` bytes or the file ends.
void ReadUpTo(int fd, std::vector<uint8_t>& bytes, size_t size) {
    while (bytes.size() < size) {
        const size_t used = bytes.size();
        bytes.resize(used + std::min<size_t>(65536, size - used));
        const ssize_t count = ::read(fd, bytes.data() + used, bytes.size() - used);
        const int error = count < 0 ? errno : 0;
        bytes.resize(used + static_cast<size_t>(std::max<ssize_t>(count, 0)));
        if (error == EINTR) continue;
        if (count < 0) throw KError(KErrorCode::kFileRead, error);
        if (count == 0) return;
    }
}

}  // namespace

KImage LoadTarga(const std::filesystem::path& path, KLog* log) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) throw KError(KErrorCode::kFileOpen, errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    // Only what the header describes is read, so neither a huge file nor a
    // device that never ends costs more than the image itself.
    std::vector<uint8_t> bytes;
    ReadUpTo(fd, bytes, kHeaderSize);
    if (bytes.size() == kHeaderSize) {
        const Layout layout = ReadHeader(bytes, log);
        if (layout.PixelCount() > kTargaMaxPixels)
            Refuse(log, KErrorCode::kAllocation, false, u"AllocateMemory() failed");
        ReadUpTo(fd, bytes, layout.BytesNeeded());
    }
    return DecodeTarga(bytes, log);
}
