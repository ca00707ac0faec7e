// LoadImageA of bitmaps: every BMP variant read to known pixels, from files
// and from resources, resizing, and refusal of truncated and hostile data.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gdi/BmpDecode.h"
#include "gdi/GdiObject.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"

namespace {

// The picture every variant stores: 5 x 3 pixels.
const int kW = 5, kH = 3;
COLORREF PictureAt(int x, int y) {
    static const COLORREF colours[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)};
    return colours[(x + 2 * y) % 4];
}

void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, static_cast<uint16_t>(x));
    Put16(v, static_cast<uint16_t>(x >> 16));
}

struct Variant {
    const char* name;
    int bits;
    uint32_t compression;
    bool topDown;
};

// Builds a packed DIB (info header, masks, table, rows) of the picture.
std::vector<uint8_t> MakeDib(const Variant& v) {
    std::vector<uint8_t> out;
    Put32(out, 40);
    Put32(out, kW);
    Put32(out, static_cast<uint32_t>(v.topDown ? -kH : kH));
    Put16(out, 1);
    Put16(out, static_cast<uint16_t>(v.bits));
    Put32(out, v.compression);
    Put32(out, 0);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, v.bits <= 8 ? 4 : 0);  // four colours used
    Put32(out, 0);
    if (v.compression == BI_BITFIELDS) {
        if (v.bits == 16) {
            Put32(out, 0xF800);
            Put32(out, 0x07E0);
            Put32(out, 0x001F);
        } else {
            Put32(out, 0x00FF0000);
            Put32(out, 0x0000FF00);
            Put32(out, 0x000000FF);
        }
    }
    static const COLORREF table[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)};
    if (v.bits <= 8)
        for (COLORREF c : table) {
            out.push_back(GetBValue(c));
            out.push_back(GetGValue(c));
            out.push_back(GetRValue(c));
            out.push_back(0);
        }
    const size_t stride = ((kW * v.bits + 31) / 32) * 4;
    for (int row = 0; row < kH; ++row) {
        const int y = v.topDown ? row : kH - 1 - row;
        std::vector<uint8_t> line(stride, 0);
        for (int x = 0; x < kW; ++x) {
            const COLORREF c = PictureAt(x, y);
            const int index = (x + 2 * y) % 4;
            const uint32_t r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
            switch (v.bits) {
                case 1: break;  // filled below from the index's low bit
                case 4: line[x / 2] |= static_cast<uint8_t>(index << ((x & 1) ? 0 : 4)); break;
                case 8: line[x] = static_cast<uint8_t>(index); break;
                case 16: {
                    const uint16_t p = v.compression == BI_BITFIELDS
                                           ? static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3))
                                           : static_cast<uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
                    line[2 * x] = static_cast<uint8_t>(p);
                    line[2 * x + 1] = static_cast<uint8_t>(p >> 8);
                    break;
                }
                case 24:
                    line[3 * x] = static_cast<uint8_t>(b);
                    line[3 * x + 1] = static_cast<uint8_t>(g);
                    line[3 * x + 2] = static_cast<uint8_t>(r);
                    break;
                case 32:
                    line[4 * x] = static_cast<uint8_t>(b);
                    line[4 * x + 1] = static_cast<uint8_t>(g);
                    line[4 * x + 2] = static_cast<uint8_t>(r);
                    line[4 * x + 3] = 0x99;  // not colour
                    break;
            }
            if (v.bits == 1 && (index & 1)) line[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
        out.insert(out.end(), line.begin(), line.end());
    }
    return out;
}

std::vector<uint8_t> MakeFile(const std::vector<uint8_t>& dib, const Variant& v) {
    std::vector<uint8_t> out = {'B', 'M'};
    Put32(out, static_cast<uint32_t>(14 + dib.size()));
    Put32(out, 0);
    uint32_t headerBytes = 40 + (v.compression == BI_BITFIELDS ? 12 : 0) + (v.bits <= 8 ? 16 : 0);
    Put32(out, 14 + headerBytes);
    out.insert(out.end(), dib.begin(), dib.end());
    return out;
}

std::string WriteTemp(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = ::testing::TempDir() + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(nullptr, f);
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

// The colour the 1-bit variant can hold: entries 0 and 1 only.
COLORREF Expected(const Variant& v, int x, int y) {
    if (v.bits == 1) return ((x + 2 * y) % 4) & 1 ? RGB(0, 255, 0) : RGB(255, 0, 0);
    if (v.bits == 16 && v.compression == BI_RGB) return PictureAt(x, y);  // 0 and 255 survive 5 bits
    return PictureAt(x, y);
}

void ExpectPicture(HANDLE handle, const Variant& v) {
    ASSERT_NE(nullptr, handle);
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(nullptr, SelectObject(dc, handle));
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) EXPECT_EQ(Expected(v, x, y), GetPixel(dc, x, y)) << x << "," << y;
    BITMAP info = {};
    ASSERT_EQ(static_cast<int>(sizeof info), GetObjectA(handle, sizeof info, &info));
    EXPECT_EQ(kW, info.bmWidth);
    EXPECT_EQ(kH, info.bmHeight);
    DeleteDC(dc);
}

const Variant kVariants[] = {
    {"1 bit", 1, BI_RGB, false},        {"4 bits", 4, BI_RGB, false},      {"8 bits", 8, BI_RGB, false},
    {"16 bits 5-5-5", 16, BI_RGB, false}, {"16 bits 5-6-5", 16, BI_BITFIELDS, false},
    {"24 bits", 24, BI_RGB, false},     {"24 bits top-down", 24, BI_RGB, true},
    {"32 bits", 32, BI_RGB, false},     {"32 bits fields", 32, BI_BITFIELDS, true},
};

}  // namespace

TEST(LoadImage, EveryVariantFromAFile) {
    for (const Variant& v : kVariants) {
        SCOPED_TRACE(v.name);
        std::string path = WriteTemp("variant.bmp", MakeFile(MakeDib(v), v));
        HANDLE h = LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
        ExpectPicture(h, v);
        EXPECT_EQ(TRUE, DeleteObject(h));
        std::remove(path.c_str());
    }
}

TEST(LoadImage, FromResourcesAsPackedDibOrWholeFile) {
    HMODULE module = GetModuleHandleA(nullptr);
    const Variant v = {"24 bits", 24, BI_RGB, false};
    const std::vector<uint8_t> dib = MakeDib(v);
    ASSERT_TRUE(QndxRegisterResource(RT_BITMAP, "PICTURE", dib.data(), static_cast<DWORD>(dib.size())));
    HANDLE h = LoadImageA(module, "PICTURE", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    ExpectPicture(h, v);
    DeleteObject(h);
    const std::vector<uint8_t> file = MakeFile(MakeDib(kVariants[2]), kVariants[2]);
    ASSERT_TRUE(QndxRegisterResource(RT_BITMAP, MAKEINTRESOURCEA(101), file.data(), static_cast<DWORD>(file.size())));
    h = LoadImageA(module, MAKEINTRESOURCEA(101), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    ExpectPicture(h, kVariants[2]);
    DeleteObject(h);

    EXPECT_EQ(nullptr, LoadImageA(module, "MISSING", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    EXPECT_EQ(nullptr, LoadImageA(nullptr, "PICTURE", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    QndxUnregisterResource(RT_BITMAP, "PICTURE");
    QndxUnregisterResource(RT_BITMAP, MAKEINTRESOURCEA(101));
}

TEST(LoadImage, SizeArgumentsStretchThePicture) {
    const Variant v = {"24 bits", 24, BI_RGB, false};
    std::string path = WriteTemp("stretch.bmp", MakeFile(MakeDib(v), v));
    HANDLE h = LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 10, 0, LR_LOADFROMFILE);
    ASSERT_NE(nullptr, h);
    BITMAP info = {};
    GetObjectA(h, sizeof info, &info);
    EXPECT_EQ(10, info.bmWidth);
    EXPECT_EQ(kH, info.bmHeight);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, h);
    for (int x = 0; x < 10; ++x) EXPECT_EQ(PictureAt(x / 2, 1), GetPixel(dc, x, 1)) << x;
    DeleteDC(dc);
    DeleteObject(h);
    std::remove(path.c_str());
}

TEST(LoadImage, MissingFilesAndOtherImageTypesGiveNull) {
    EXPECT_EQ(nullptr, LoadImageA(nullptr, "no_such_file.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    EXPECT_EQ(nullptr, LoadImageA(nullptr, "C:\\pictures\\x.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    EXPECT_EQ(nullptr, LoadImageA(nullptr, nullptr, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    const Variant v = {"24 bits", 24, BI_RGB, false};
    std::string path = WriteTemp("icon.bmp", MakeFile(MakeDib(v), v));
    EXPECT_EQ(nullptr, LoadImageA(nullptr, path.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE));
    std::remove(path.c_str());
}

TEST(BmpDecode, EveryTruncationIsRefused) {
    for (const Variant& v : kVariants) {
        SCOPED_TRACE(v.name);
        const std::vector<uint8_t> file = MakeFile(MakeDib(v), v);
        const std::vector<uint8_t> dib = MakeDib(v);
        qndx::platform::DecodedBitmap out;
        std::string why;
        ASSERT_TRUE(qndx::platform::DecodeBmp(file.data(), file.size(), &out, &why)) << why;
        ASSERT_TRUE(qndx::platform::DecodeBmp(dib.data(), dib.size(), &out, &why)) << why;
        for (size_t n = 0; n < file.size(); ++n) {
            // An exact-size copy so the sanitizer catches any read past the end.
            std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<ptrdiff_t>(n));
            EXPECT_FALSE(qndx::platform::DecodeBmp(cut.data(), cut.size(), &out, &why)) << n;
        }
        for (size_t n = 0; n < dib.size(); ++n) {
            std::vector<uint8_t> cut(dib.begin(), dib.begin() + static_cast<ptrdiff_t>(n));
            EXPECT_FALSE(qndx::platform::DecodeBmp(cut.data(), cut.size(), &out, &why)) << n;
        }
    }
}

TEST(LoadImage, TruncatedFileGivesNull) {
    const Variant v = {"8 bits", 8, BI_RGB, false};
    std::vector<uint8_t> file = MakeFile(MakeDib(v), v);
    file.resize(file.size() - 1);
    std::string path = WriteTemp("cut.bmp", file);
    EXPECT_EQ(nullptr, LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    std::remove(path.c_str());
}

TEST(BmpDecode, HostileHeadersAreRefused) {
    const Variant v = {"8 bits", 8, BI_RGB, false};
    const std::vector<uint8_t> good = MakeFile(MakeDib(v), v);
    auto patched = [&](size_t offset, uint32_t value) {
        std::vector<uint8_t> bad = good;
        std::memcpy(&bad[offset], &value, 4);
        return bad;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> data;
    };
    const Case cases[] = {
        {"pixel offset past the end", patched(10, 0x7FFFFFF0)},
        {"pixel offset inside the headers", patched(10, 20)},
        {"header size unknown", patched(14, 41)},
        {"header size huge", patched(14, 0xFFFFFFF0)},
        {"width negative", patched(18, 0xFFFFFFFB)},
        {"width huge", patched(18, 0x7FFFFFFF)},
        {"height zero", patched(22, 0)},
        {"height most negative", patched(22, 0x80000000)},
        {"width times height huge", patched(18, 30000)},
        {"colour table huge", patched(46, 0x40000000)},
        {"run-length compressed", patched(30, BI_RLE8)},
        {"unknown compression", patched(30, 9)},
        {"bit count 7", patched(28, 7)},
    };
    for (const Case& c : cases) {
        qndx::platform::DecodedBitmap out;
        std::string why;
        EXPECT_FALSE(qndx::platform::DecodeBmp(c.data.data(), c.data.size(), &out, &why)) << c.what;
    }
    // Masks that are not contiguous.
    const Variant fields = {"16 bits 5-6-5", 16, BI_BITFIELDS, false};
    std::vector<uint8_t> odd = MakeFile(MakeDib(fields), fields);
    const uint32_t mask = 0xF0F0;
    std::memcpy(&odd[54], &mask, 4);
    qndx::platform::DecodedBitmap out;
    EXPECT_FALSE(qndx::platform::DecodeBmp(odd.data(), odd.size(), &out, nullptr));
}

TEST(BmpDecode, IndexesPastTheColourTableReadBlack) {
    const Variant v = {"8 bits", 8, BI_RGB, true};
    std::vector<uint8_t> dib = MakeDib(v);
    const size_t pixels = 40 + 16;
    dib[pixels + 1] = 200;  // table holds four colours
    qndx::platform::DecodedBitmap out;
    ASSERT_TRUE(qndx::platform::DecodeBmp(dib.data(), dib.size(), &out, nullptr));
    EXPECT_EQ(0u, out.pixels[1]);
    EXPECT_EQ(0xFF0000u, out.pixels[0]);  // 0x00RRGGBB: entry 0 is red
}
