#include "foundation/KTarga.h"

#include <gtest/gtest.h>

#include <vector>

#include "foundation/KLog.h"
#include "support/KTempFolder.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlue = 0xFF0000FF;

const std::filesystem::path kData = std::filesystem::path(KESTRUN_TEST_DATA) / "targa";

// The 6 x 4 test picture, top row first: a white row over three rows of red (columns 0-2)
// and blue (3-5), with a green pixel at the bottom left; or the same upside down.
std::vector<uint32_t> Picture(bool upsideDown) {
    std::vector<uint32_t> pixels;
    for (int row = 0; row < 4; ++row) {
        const int y = upsideDown ? 3 - row : row;
        for (int x = 0; x < 6; ++x)
            pixels.push_back(y == 0 ? kWhite : (x == 0 && y == 3) ? 0xFF00FF00 : x < 3 ? 0xFFFF0000 : kBlue);
    }
    return pixels;
}

// An image of type 2: header, ID, a colour map of `mapLength` 24-bit entries when there is one,
// then `pixels`, the stored bytes.
std::vector<uint8_t> Targa(int width, int height, int bits, int descriptor,
                           const std::vector<uint8_t>& pixels, const std::vector<uint8_t>& id = {},
                           int mapLength = 0) {
    const auto b = [](auto value) { return static_cast<uint8_t>(value); };
    std::vector<uint8_t> data({b(id.size()), b(mapLength > 0), 2, 0, 0, b(mapLength), b(mapLength >> 8), 24,
                               0, 0, 0, 0, b(width), b(width >> 8), b(height), b(height >> 8), b(bits),
                               b(descriptor)});
    data.insert(data.end(), id.begin(), id.end());
    data.insert(data.end(), static_cast<size_t>(mapLength) * 3, 0xAB);
    data.insert(data.end(), pixels.begin(), pixels.end());
    return data;
}

}  // namespace

TEST(KTarga, FixturesDecodeToTheTestPictureAndOtherVersionsOrUnreadableFilesRaiseTheirErrors) {
    // Three of the files store the white row first under a bottom-up descriptor, so they show the
    // picture upside down.
    for (const auto& [file, upsideDown] : {std::pair{"rgb24_topdown.tga", false},
                                           {"rgb16_bottomup.tga", false},
                                           {"rgb24_bottomup.tga", true},
                                           {"rgb24_with_id.tga", true},
                                           {"rgb32_bottomup.tga", true}}) {
        const KImage image = LoadTarga(kData / file);
        EXPECT_EQ(std::pair(image.width, image.height), std::pair(6, 4)) << file;
        EXPECT_EQ(image.pixels, Picture(upsideDown)) << file;
    }
    KTempFolder folder;
    const std::pair<int, int> version(KErrorCode::kFileVersion, -1);
    // A device that never ends is read only as far as its header.
    const std::pair<std::filesystem::path, std::pair<int, int>> errors[] = {
        {kData / "rgb24_rle.tga", version},
        {kData / "colormapped.tga", version},
        {kData / "gray8.tga", version},
        {"/dev/zero", version},
        {folder / "missing.tga", {KErrorCode::kFileOpen, ENOENT}},
        {folder.Path(), {KErrorCode::kFileRead, EISDIR}}};
    for (const auto& e : errors)
        EXPECT_EQ(CaughtError([&] { (void)LoadTarga(e.first); }), e.second) << e.first;
}

TEST(KTarga, EveryDepthOrderAndLayoutDecodesToOpaquePixelsTopRowFirst) {
    const std::vector<uint8_t> four = {1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0};  // stored 1, 2 / 3, 4 as blue
    std::vector<uint8_t> footer = Targa(1, 1, 32, 8, {0x30, 0x20, 0x10, 0x00}, {'i', 'd'}, 3);
    footer.insert(footer.end(), 26, 0x55);
    std::vector<uint8_t> noMap = Targa(1, 1, 24, 0, {1, 2, 3});
    noMap[5] = 200;
    constexpr uint32_t k = 0xFF000000;
    const auto decoded = [](const std::vector<uint8_t>& data) { return DecodeTarga(data, nullptr).pixels; };
    using Pixels = std::vector<uint32_t>;
    // 16 bits, stored bottom row first: 0x7FFF white, 0x8000 the attribute bit only (black),
    // 0x4210 = 16,16,16 -> (16 << 3) | (16 >> 2) = 132, 0x001F blue.
    EXPECT_EQ(decoded(Targa(2, 2, 16, 0, {0xFF, 0x7F, 0x00, 0x80, 0x10, 0x42, 0x1F, 0x00})),
              (Pixels{0xFF848484, kBlue, kWhite, k}));
    EXPECT_EQ(decoded(Targa(1, 1, 15, 0, {0xFF, 0x7F})), Pixels{kWhite});
    // Right-to-left, and top-down right-to-left.
    EXPECT_EQ(decoded(Targa(2, 2, 24, 0x10, four)), (Pixels{k | 4, k | 3, k | 2, k | 1}));
    EXPECT_EQ(decoded(Targa(2, 2, 24, 0x30, four)), (Pixels{k | 2, k | 1, k | 4, k | 3}));
    // ID, colour map and footer skipped, alpha 0 opaque; a colour-map length without a colour map.
    EXPECT_EQ(decoded(footer), Pixels{0xFF102030});
    EXPECT_EQ(decoded(noMap), Pixels{0xFF030201});
}

TEST(KTarga, DamagedOrOtherImagesAreRefusedWithTheirErrorAndLogLine) {
    const std::vector<uint8_t> good = Targa(2, 2, 24, 0, std::vector<uint8_t>(12, 0x7F));
    const auto with = [&](size_t offset, uint8_t value) {
        std::vector<uint8_t> data = good;
        data[offset] = value;
        return data;
    };
    constexpr int kVersion = KErrorCode::kFileVersion;
    constexpr int kContents = KErrorCode::kFileContents;
    struct Case {
        const char* name;
        std::vector<uint8_t> data;
        int code;
        const char* log;  // category letter and message
        size_t maxPixels = kTargaMaxPixels;
    };
    const Case cases[] = {
        {"header cut", {good.begin(), good.begin() + 17}, kContents, "E header incomplete"},
        {"run-length", with(2, 10), kVersion, "W header.imageType != 2"},
        {"8 bits", with(16, 8), kVersion, "W header.bitsPerPixel invalid"},
        {"zero width", with(12, 0), kContents, "W header size invalid"},
        {"zero height", with(14, 0), kContents, "W header size invalid"},
        {"one byte short", {good.begin(), good.end() - 1}, kContents, "E file too short"},
        {"ID past the end", with(0, 255), kContents, "E file too short"},
        {"huge size", Targa(65535, 65535, 32, 0, std::vector<uint8_t>(64, 0)), kContents, "E file too short"},
        {"huge colour map", Targa(1, 1, 24, 0, {}, {}, 65535), kContents, "E file too short"},
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
