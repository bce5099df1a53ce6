#include "foundation/KTarga.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempFolder.h"
#include "foundation/KError.h"
#include "foundation/KLog.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kGreen = 0xFF00FF00;
constexpr uint32_t kBlue = 0xFF0000FF;

const std::filesystem::path kData = std::filesystem::path(KESTRUN_TEST_DATA) / "targa";

// The 6 x 4 test picture, top row first: a white row over three rows of red
// (columns 0-2) and blue (3-5), with a green pixel at the bottom left.
std::vector<uint32_t> Picture() {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            pixels.push_back(y == 0 ? kWhite : (x == 0 && y == 3) ? kGreen : x < 3 ? kRed : kBlue);
    return pixels;
}

std::vector<uint32_t> UpsideDown(const std::vector<uint32_t>& pixels) {
    std::vector<uint32_t> flipped;
    for (int y = 3; y >= 0; --y)
        flipped.insert(flipped.end(), pixels.begin() + y * 6, pixels.begin() + y * 6 + 6);
    return flipped;
}

// An image of type 2; `pixels` are the stored bytes after the header.
std::vector<uint8_t> Targa(int width, int height, int bits, int descriptor,
                           const std::vector<uint8_t>& pixels, std::vector<uint8_t> id = {}, int mapType = 0,
                           int mapLength = 0, int mapBits = 0) {
    std::vector<uint8_t> data = {static_cast<uint8_t>(id.size()),
                                 static_cast<uint8_t>(mapType),
                                 2,
                                 0,
                                 0,
                                 static_cast<uint8_t>(mapLength & 0xFF),
                                 static_cast<uint8_t>(mapLength >> 8),
                                 static_cast<uint8_t>(mapBits),
                                 0,
                                 0,
                                 0,
                                 0,
                                 static_cast<uint8_t>(width & 0xFF),
                                 static_cast<uint8_t>(width >> 8),
                                 static_cast<uint8_t>(height & 0xFF),
                                 static_cast<uint8_t>(height >> 8),
                                 static_cast<uint8_t>(bits),
                                 static_cast<uint8_t>(descriptor)};
    data.insert(data.end(), id.begin(), id.end());
    data.insert(data.end(), static_cast<size_t>(mapLength) * ((mapBits + 7) / 8), 0xAB);
    data.insert(data.end(), pixels.begin(), pixels.end());
    return data;
}

int DecodeError(const std::vector<uint8_t>& data, size_t maxPixels = kTargaMaxPixels) {
    try {
        DecodeTarga(data, nullptr, maxPixels);
    } catch (const KError& e) {
        return e.Code();
    }
    return 0;
}

}  // namespace

TEST(KTarga, FixturesDecodeToTheTestPicture) {
    struct Case {
        const char* file;
        bool upsideDown;
    };
    // Three of the files store the white row first under a bottom-up descriptor,
    // so they show the picture upside down.
    const Case cases[] = {
        {"rgb24_topdown.tga", false}, {"rgb16_bottomup.tga", false}, {"rgb24_bottomup.tga", true},
        {"rgb24_with_id.tga", true},  {"rgb32_bottomup.tga", true},
    };
    for (const auto& c : cases) {
        const KImage image = LoadTarga(kData / c.file);
        EXPECT_EQ(image.width, 6) << c.file;
        EXPECT_EQ(image.height, 4) << c.file;
        EXPECT_EQ(image.pixels, c.upsideDown ? UpsideDown(Picture()) : Picture()) << c.file;
    }
}

TEST(KTarga, OtherImageTypesAreRefusedWithAWarning) {
    TempFolder folder;
    for (const char* file : {"rgb24_rle.tga", "colormapped.tga", "gray8.tga"}) {
        KLog log(folder.Path());
        log.Reset();
        try {
            LoadTarga(kData / file, &log);
            ADD_FAILURE() << file << " loaded";
        } catch (const KError& e) {
            EXPECT_EQ(e.Code(), KErrorCode::kFileVersion) << file;
        }
        const std::string text = ReadBytes(log.Path());
        EXPECT_EQ(text.rfind("W: ", 0), 0u) << text;
        EXPECT_NE(text.find(": KBitmap::ImportTarga: header.imageType != 2\r\n"), std::string::npos) << text;
    }
}

TEST(KTarga, SixteenBitPixelsWidenEachFiveBitChannel) {
    // Stored bottom row first: 0x7FFF white, 0x8000 attribute bit only (black),
    // 0x4210 = 16,16,16 -> (16 << 3) | (16 >> 2) = 132, 0x001F blue.
    const KImage image =
        DecodeTarga(Targa(2, 2, 16, 0, {0xFF, 0x7F, 0x00, 0x80, 0x10, 0x42, 0x1F, 0x00}), nullptr);
    EXPECT_EQ(image.Pixel(0, 1), kWhite);
    EXPECT_EQ(image.Pixel(1, 1), 0xFF000000u);
    EXPECT_EQ(image.Pixel(0, 0), 0xFF848484u);
    EXPECT_EQ(image.Pixel(1, 0), kBlue);
    // 15 bits per pixel reads the same words.
    EXPECT_EQ(DecodeTarga(Targa(1, 1, 15, 0, {0xFF, 0x7F}), nullptr).Pixel(0, 0), kWhite);
}

TEST(KTarga, DescriptorBitsChooseRowAndColumnOrder) {
    // Stored pixels in order: 1, 2 / 3, 4 (24-bit, blue byte = the number).
    const std::vector<uint8_t> stored = {1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0};
    struct Case {
        int descriptor;
        std::vector<uint32_t> blues;  // top row first
    };
    const Case cases[] = {
        {0x00, {3, 4, 1, 2}}, {0x20, {1, 2, 3, 4}}, {0x10, {4, 3, 2, 1}},
        {0x30, {2, 1, 4, 3}}, {0x08, {3, 4, 1, 2}},  // alpha bits do not change the order
    };
    for (const auto& c : cases) {
        const KImage image = DecodeTarga(Targa(2, 2, 24, c.descriptor, stored), nullptr);
        std::vector<uint32_t> blues;
        for (uint32_t p : image.pixels) blues.push_back(p & 0xFF);
        EXPECT_EQ(blues, c.blues) << c.descriptor;
    }
}

TEST(KTarga, IdFieldColourMapAndTrailingBytesAreSkipped) {
    std::vector<uint8_t> data = Targa(1, 1, 32, 8, {0x30, 0x20, 0x10, 0x00}, {'i', 'd'}, 1, 3, 24);
    data.insert(data.end(), 26, 0x55);  // a footer after the pixels
    const KImage image = DecodeTarga(data, nullptr);
    EXPECT_EQ(image.pixels, std::vector<uint32_t>{0xFF102030u});  // alpha 0 still draws opaque
    // A colour-map length without a colour map skips nothing.
    std::vector<uint8_t> noMap = Targa(1, 1, 24, 0, {1, 2, 3});
    noMap[5] = 200;
    EXPECT_EQ(DecodeTarga(noMap, nullptr).pixels, std::vector<uint32_t>{0xFF030201u});
}

TEST(KTarga, DamagedImagesAreRefusedWithTheirError) {
    const std::vector<uint8_t> good = Targa(2, 2, 24, 0, std::vector<uint8_t>(12, 0x7F));
    const auto with = [&](size_t offset, uint8_t value) {
        std::vector<uint8_t> data = good;
        data[offset] = value;
        return data;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> data;
        int code;
    };
    const Case cases[] = {
        {"empty", {}, KErrorCode::kFileContents},
        {"header cut", std::vector<uint8_t>(good.begin(), good.begin() + 17), KErrorCode::kFileContents},
        {"type 0", with(2, 0), KErrorCode::kFileVersion},
        {"type 1", with(2, 1), KErrorCode::kFileVersion},
        {"type 3", with(2, 3), KErrorCode::kFileVersion},
        {"type 10", with(2, 10), KErrorCode::kFileVersion},
        {"8 bits", with(16, 8), KErrorCode::kFileVersion},
        {"0 bits", with(16, 0), KErrorCode::kFileVersion},
        {"33 bits", with(16, 33), KErrorCode::kFileVersion},
        {"zero width", with(12, 0), KErrorCode::kFileContents},
        {"zero height", with(14, 0), KErrorCode::kFileContents},
        {"one byte short", std::vector<uint8_t>(good.begin(), good.end() - 1), KErrorCode::kFileContents},
        {"no pixels", std::vector<uint8_t>(good.begin(), good.begin() + 18), KErrorCode::kFileContents},
        {"ID past the end", with(0, 255), KErrorCode::kFileContents},
        {"32 bits need more data", with(16, 32), KErrorCode::kFileContents},
        {"huge width and height", Targa(65535, 65535, 32, 0, std::vector<uint8_t>(64, 0)),
         KErrorCode::kFileContents},
        {"huge colour map", Targa(1, 1, 24, 0, {}, {}, 1, 65535, 32), KErrorCode::kFileContents},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeError(c.data), c.code) << c.name;
    EXPECT_EQ(DecodeError(good), 0);
}

TEST(KTarga, MoreThanTheLargestImageIsRefusedAsNoMemory) {
    const std::vector<uint8_t> data = Targa(4, 4, 16, 0, std::vector<uint8_t>(32, 0));
    EXPECT_EQ(DecodeError(data, 15), KErrorCode::kAllocation);
    EXPECT_EQ(DecodeError(data, 16), 0);
}

TEST(KTarga, RefusalsAreLoggedUnderTheirCategory) {
    TempFolder folder;
    KLog log(folder.Path());
    std::vector<uint8_t> depth = Targa(1, 1, 24, 0, {0, 0, 0});
    depth[16] = 8;
    EXPECT_THROW(DecodeTarga(depth, &log), KError);
    EXPECT_THROW(DecodeTarga(Targa(2, 1, 24, 0, {0, 0, 0}), &log), KError);
    EXPECT_THROW(DecodeTarga(Targa(2, 1, 24, 0, std::vector<uint8_t>(6, 0)), &log, 1), KError);
    const std::string text = ReadBytes(log.Path());
    EXPECT_NE(text.find("W: "), std::string::npos);
    EXPECT_NE(text.find(": KBitmap::ImportTarga: header.bitsPerPixel invalid\r\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find(": KBitmap::ImportTarga: file too short\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(": KBitmap::ImportTarga: AllocateMemory() failed\r\n"), std::string::npos) << text;
}

TEST(KTarga, FileErrorsCarryTheSystemErrorNumberAndReadingStopsAtTheImage) {
    TempFolder folder;
    struct Case {
        std::filesystem::path path;
        int code;
        int subcode;
    };
    const Case cases[] = {
        {folder / "missing.tga", KErrorCode::kFileOpen, ENOENT},
        {folder.Path(), KErrorCode::kFileRead, EISDIR},
        // A device that never ends is read only as far as its header.
        {"/dev/zero", KErrorCode::kFileVersion, -1},
    };
    for (const auto& c : cases) {
        try {
            LoadTarga(c.path);
            ADD_FAILURE() << c.path << " loaded";
        } catch (const KError& e) {
            EXPECT_EQ(e.Code(), c.code) << c.path;
            EXPECT_EQ(e.Subcode(), c.subcode) << c.path;
        }
    }
}
