#include "foundation/KTarga.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/KLog.h"
#include "support/KTempFolder.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kGreen = 0xFF00FF00;
constexpr uint32_t kBlue = 0xFF0000FF;

const std::filesystem::path kData = std::filesystem::path(KESTRUN_TEST_DATA) / "targa";

// The 6 x 4 test picture, top row first: a white row over three rows of red (columns 0-2)
// and blue (3-5), with a green pixel at the bottom left; or the same upside down.
std::vector<uint32_t> Picture(bool upsideDown) {
    std::vector<uint32_t> pixels;
    for (int row = 0; row < 4; ++row) {
        const int y = upsideDown ? 3 - row : row;
        for (int x = 0; x < 6; ++x)
            pixels.push_back(y == 0 ? kWhite : (x == 0 && y == 3) ? kGreen : x < 3 ? kRed : kBlue);
    }
    return pixels;
}

// An image of type 2: header, ID, a colour map of `mapLength` 24-bit entries when there is one,
// then `pixels`, the stored bytes.
std::vector<uint8_t> Targa(int width, int height, int bits, int descriptor,
                           const std::vector<uint8_t>& pixels, const std::vector<uint8_t>& id = {},
                           int mapLength = 0) {
    std::vector<uint8_t> data(18, 0);
    const auto put = [&data](size_t at, size_t value, int bytes = 1) {
        for (int i = 0; i < bytes; ++i) data[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    put(0, id.size());
    put(1, mapLength > 0);
    put(2, 2);
    put(5, mapLength, 2);
    put(7, 24);
    put(12, width, 2);
    put(14, height, 2);
    put(16, bits);
    put(17, descriptor);
    data.insert(data.end(), id.begin(), id.end());
    data.insert(data.end(), static_cast<size_t>(mapLength) * 3, 0xAB);
    data.insert(data.end(), pixels.begin(), pixels.end());
    return data;
}

}  // namespace

TEST(KTarga, FixturesDecodeToTheTestPicture) {
    // Three of the files store the white row first under a bottom-up descriptor,
    // so they show the picture upside down.
    const std::vector<const char*> files[] = {
        {"rgb24_topdown.tga", "rgb16_bottomup.tga"},
        {"rgb24_bottomup.tga", "rgb24_with_id.tga", "rgb32_bottomup.tga"}};
    for (const bool upsideDown : {false, true}) {
        for (const char* file : files[upsideDown]) {
            const KImage image = LoadTarga(kData / file);
            EXPECT_EQ(image.width, 6) << file;
            EXPECT_EQ(image.height, 4) << file;
            EXPECT_EQ(image.pixels, Picture(upsideDown)) << file;
        }
    }
}

TEST(KTarga, EveryDepthOrderAndLayoutDecodesToOpaquePixelsTopRowFirst) {
    const std::vector<uint8_t> four = {1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0};  // stored 1, 2 / 3, 4 as blue
    std::vector<uint8_t> footer = Targa(1, 1, 32, 8, {0x30, 0x20, 0x10, 0x00}, {'i', 'd'}, 3);
    footer.insert(footer.end(), 26, 0x55);
    std::vector<uint8_t> noMap = Targa(1, 1, 24, 0, {1, 2, 3});
    noMap[5] = 200;
    constexpr uint32_t k = 0xFF000000;
    struct Case {
        const char* name;
        std::vector<uint8_t> data;
        std::vector<uint32_t> pixels;
    };
    const Case cases[] = {
        // Stored bottom row first: 0x7FFF white, 0x8000 the attribute bit only (black),
        // 0x4210 = 16,16,16 -> (16 << 3) | (16 >> 2) = 132, 0x001F blue.
        {"16 bits",
         Targa(2, 2, 16, 0, {0xFF, 0x7F, 0x00, 0x80, 0x10, 0x42, 0x1F, 0x00}),
         {0xFF848484, kBlue, kWhite, k}},
        {"15 bits", Targa(1, 1, 15, 0, {0xFF, 0x7F}), {kWhite}},
        {"right-to-left", Targa(2, 2, 24, 0x10, four), {k | 4, k | 3, k | 2, k | 1}},
        {"top-down right-to-left", Targa(2, 2, 24, 0x30, four), {k | 2, k | 1, k | 4, k | 3}},
        {"ID, colour map and footer skipped, alpha 0 opaque", footer, {0xFF102030}},
        {"colour-map length without a colour map", noMap, {0xFF030201}},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeTarga(c.data, nullptr).pixels, c.pixels) << c.name;
}

TEST(KTarga, DamagedOrOtherImagesAreRefusedWithTheirErrorAndLogLine) {
    const std::vector<uint8_t> good = Targa(2, 2, 24, 0, std::vector<uint8_t>(12, 0x7F));
    const auto with = [&](size_t offset, uint8_t value) {
        std::vector<uint8_t> data = good;
        data[offset] = value;
        return data;
    };
    const auto file = [](const char* name) {
        const std::string bytes = ReadBytes(kData / name);
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    };
    const std::vector<uint8_t> cut(good.begin(), good.begin() + 17);
    const std::vector<uint8_t> oneShort(good.begin(), good.end() - 1);
    constexpr int kVersion = KErrorCode::kFileVersion;
    constexpr int kContents = KErrorCode::kFileContents;
    const char* const kType = "W header.imageType != 2";
    const char* const kBits = "W header.bitsPerPixel invalid";
    const char* const kShort = "E file too short";
    struct Case {
        const char* name;
        std::vector<uint8_t> data;
        int code;
        const char* log;  // category letter and message
        size_t maxPixels = kTargaMaxPixels;
    };
    const Case cases[] = {
        {"empty", {}, kContents, "E header incomplete"},
        {"header cut", cut, kContents, "E header incomplete"},
        {"run-length file", file("rgb24_rle.tga"), kVersion, kType},
        {"colour-mapped file", file("colormapped.tga"), kVersion, kType},
        {"grey file", file("gray8.tga"), kVersion, kType},
        {"8 bits", with(16, 8), kVersion, kBits},
        {"33 bits", with(16, 33), kVersion, kBits},
        {"zero width", with(12, 0), kContents, "W header size invalid"},
        {"zero height", with(14, 0), kContents, "W header size invalid"},
        {"one byte short", oneShort, kContents, kShort},
        {"ID past the end", with(0, 255), kContents, kShort},
        {"32 bits need more data", with(16, 32), kContents, kShort},
        {"huge width and height", Targa(65535, 65535, 32, 0, std::vector<uint8_t>(64, 0)), kContents, kShort},
        {"huge colour map", Targa(1, 1, 24, 0, {}, {}, 65535), kContents, kShort},
        {"more than the largest image", good, KErrorCode::kAllocation, "E AllocateMemory() failed", 3},
    };
    KTempFolder folder;
    KLog log(folder.Path());
    for (const auto& c : cases) {
        log.Reset();
        EXPECT_EQ(CaughtError([&] { (void)DecodeTarga(c.data, &log, c.maxPixels); }).first, c.code) << c.name;
        const std::vector<KString> lines = FileLines(log.Path());
        ASSERT_EQ(lines.size(), 1u) << c.name;
        EXPECT_EQ(lines[0].front(), static_cast<KChar>(c.log[0])) << c.name;
        EXPECT_TRUE(lines[0].ends_with(u": KBitmap::ImportTarga: " + FromLatin1(c.log + 2)))
            << ToUtf8(lines[0]);
    }
    EXPECT_EQ(DecodeTarga(good, nullptr, 4).pixels.size(), 4u);
}

TEST(KTarga, FileErrorsCarryTheSystemErrorNumberAndReadingStopsAtTheImage) {
    KTempFolder folder;
    struct Case {
        std::filesystem::path path;
        std::pair<int, int> error;
    };
    const Case cases[] = {
        {folder / "missing.tga", {KErrorCode::kFileOpen, ENOENT}},
        {folder.Path(), {KErrorCode::kFileRead, EISDIR}},
        // A device that never ends is read only as far as its header.
        {"/dev/zero", {KErrorCode::kFileVersion, -1}},
    };
    for (const auto& c : cases) EXPECT_EQ(CaughtError([&] { (void)LoadTarga(c.path); }), c.error) << c.path;
}
