// The picture object's JPEG decoding: scans cut short, the caps on size, and
// data that is not JPEG. (Every layout is held against
// libjpeg by the JPEG loader's tests.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/images/TestImages.h"
#include "ole/JpegDecode.h"

namespace {

using qndx::platform::DecodedPicture;
using qndx::platform::DecodeJpeg;
namespace ti = qndx::testimg;

TEST(JpegDecode, ScanDataThatEndsEarlyIsRefusedAndEveryCutIsSafe) {
    ti::Image src = ti::Smooth(40, 40);
    for (bool progressive : {false, true}) {
        ti::JpegOptions opt;
        opt.progressive = progressive;
        std::vector<uint8_t> file = ti::EncodeJpeg(src, opt);
        DecodedPicture whole;
        std::string error;
        ASSERT_TRUE(DecodeJpeg(file.data(), file.size(), &whole, &error)) << error;
        EXPECT_EQ(0, whole.warnings);
        // Cut in the scan data, with or without an end marker after the cut:
        // the rows from there on would be made up.
        for (bool endMarker : {false, true}) {
            std::vector<uint8_t> half(file.begin(), file.begin() + (long)(file.size() * 3 / 4));
            if (endMarker) half.insert(half.end(), {0xFF, 0xD9});
            DecodedPicture d;
            EXPECT_FALSE(DecodeJpeg(half.data(), half.size(), &d, &error));
            EXPECT_EQ(0u, error.find("truncated")) << error;
            EXPECT_TRUE(d.pixels.empty());
        }
        for (size_t cut = 0; cut < file.size(); ++cut) {
            DecodedPicture d;
            error.clear();
            const bool ok = DecodeJpeg(file.data(), cut, &d, &error);
            // Only the end marker may be missing, but a progressive file may
            // stop between two scans: it loads when libjpeg shows the same
            // bytes whole, with libjpeg's pixels.
            const bool endOnly = cut >= file.size() - 2;
            const ti::JpegVerdict libjpeg =
                progressive && !endOnly ? ti::JudgeJpeg(std::vector<uint8_t>(file.begin(), file.begin() + (long)cut))
                                        : ti::JpegVerdict();
            EXPECT_EQ(endOnly || libjpeg.whole, ok) << "cut at " << cut << ": " << error;
            if (ok && endOnly) {
                EXPECT_EQ(whole.pixels, d.pixels) << "cut at " << cut;
            } else if (ok) {
                ASSERT_EQ(libjpeg.image.width, d.width);
                ASSERT_EQ(libjpeg.image.height, d.height);
                for (int y = 0; y < d.height; ++y)
                    for (int x = 0; x < d.width; ++x) {
                        const uint8_t* p = &d.pixels[(size_t)y * d.stride + 3 * (size_t)x];
                        ASSERT_EQ(libjpeg.image.At(x, y), ti::Rgb(p[2], p[1], p[0])) << "cut at " << cut;
                    }
            } else {
                EXPECT_TRUE(d.pixels.empty());
                EXPECT_FALSE(error.empty());
            }
        }
    }
}

TEST(JpegDecode, SizesBeyondTheCapsAndEmptyFramesAreRefused) {
    std::vector<uint8_t> file = ti::EncodeJpeg(ti::Smooth(16, 16));
    struct Case {
        int w, h;
        bool ok;
        const char* reason;
    } cases[] = {
        {16385, 8, false, "too large"},       // wider than 16384
        {8, 16385, false, "too large"},       // taller than 16384
        {12000, 12000, false, "too large"},   // over 256 MiB of pixels
        {0, 16, false, "Empty JPEG image"},  // no width: libjpeg's own words
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        std::vector<uint8_t> hostile = ti::JpegWithFrameSize(file, c.w, c.h);
        DecodedPicture d;
        std::string error;
        EXPECT_EQ(c.ok, DecodeJpeg(hostile.data(), hostile.size(), &d, &error)) << error;
        if (!c.ok) {
            EXPECT_EQ(0u, error.find(c.reason)) << error;
        }
    }
    // On the cap: a real picture of that width is accepted.
    std::vector<uint8_t> wide = ti::EncodeJpeg(ti::Smooth(16384, 8));
    DecodedPicture d;
    std::string error;
    EXPECT_TRUE(DecodeJpeg(wide.data(), wide.size(), &d, &error)) << error;
    EXPECT_EQ(16384, d.width);
    // A few hundred bytes claiming a picture of 16384 x 5400 are refused
    // before its rows are allocated: its scans cannot hold that many blocks.
    std::vector<uint8_t> claimed = ti::JpegWithFrameSize(file, 16384, 5400);
    EXPECT_FALSE(DecodeJpeg(claimed.data(), claimed.size(), &d, &error));
    EXPECT_EQ(0u, error.find("truncated")) << error;
}

TEST(JpegDecode, DataThatIsNotJpegFails) {
    ti::Image img = ti::Pattern(4, 4);
    std::vector<uint8_t> bmp = ti::WriteBmpRgb(img, 24);
    const uint8_t png[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13};
    const uint8_t soiOnly[] = {0xFF, 0xD8, 0xFF, 0xD9};
    std::vector<uint8_t> junk(500);
    ti::Lcg rng(3);
    for (auto& b : junk) b = (uint8_t)rng.Next();
    junk[0] = 0xFF;
    junk[1] = 0xD8;
    junk[2] = 0xFF;

    DecodedPicture d;
    std::string error;
    EXPECT_FALSE(DecodeJpeg(bmp.data(), bmp.size(), &d, &error));
    EXPECT_FALSE(DecodeJpeg(png, sizeof png, &d, &error));
    EXPECT_FALSE(DecodeJpeg(soiOnly, sizeof soiOnly, &d, &error));
    EXPECT_FALSE(DecodeJpeg(junk.data(), junk.size(), &d, &error));
    EXPECT_FALSE(DecodeJpeg(nullptr, 10, &d, &error));
    EXPECT_FALSE(DecodeJpeg(png, 0, &d, &error));
    EXPECT_TRUE(d.pixels.empty());
}

TEST(JpegDecode, CmykPicturesAreRefused) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = 8;
    c.image_height = 8;
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(32, 100);
    while (c.next_scanline < 8) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> file(out, out + outSize);
    jpeg_destroy_compress(&c);
    std::free(out);

    DecodedPicture d;
    std::string error;
    EXPECT_FALSE(DecodeJpeg(file.data(), file.size(), &d, &error));
    EXPECT_NE(std::string::npos, error.find("CMYK"));
}

}  // namespace
