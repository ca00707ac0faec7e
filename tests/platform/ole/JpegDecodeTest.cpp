// The picture object's JPEG decoding: partial pictures from damaged data,
// the caps on size, and data that is not JPEG. (Every layout is held against
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

TEST(JpegDecode, APrematureEndGivesThePartialPictureAndEveryCutIsSafe) {
    ti::Image src = ti::Smooth(40, 40);
    for (bool progressive : {false, true}) {
        ti::JpegOptions opt;
        opt.progressive = progressive;
        std::vector<uint8_t> file = ti::EncodeJpeg(src, opt);
        // Cut halfway through the scan data: the size is known, the bottom
        // is made up, a warning is counted.
        DecodedPicture half;
        std::string error;
        ASSERT_TRUE(DecodeJpeg(file.data(), file.size() * 3 / 4, &half, &error)) << error;
        EXPECT_EQ(40, half.width);
        EXPECT_EQ(40, half.height);
        EXPECT_GT(half.warnings, 0);
        if (!progressive) {
            // The top rows were in the data and came through.
            const uint8_t* p = half.pixels.data();
            EXPECT_NEAR(p[2], ti::Red(src.At(0, 0)), 8);
        }
        for (size_t cut = 0; cut < file.size(); ++cut) {
            DecodedPicture d;
            bool ok = DecodeJpeg(file.data(), cut, &d, &error);
            if (ok) {
                EXPECT_EQ(40, d.width);
                EXPECT_GT(d.warnings, 0) << "cut at " << cut;
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
    } cases[] = {
        {16385, 8, false},   // wider than 16384
        {8, 16385, false},   // taller than 16384
        {12000, 12000, false},  // over 256 MiB of pixels
        {0, 16, false},      // no width
        {16384, 8, true},    // on the cap: accepted, the rest made up
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        std::vector<uint8_t> hostile = ti::JpegWithFrameSize(file, c.w, c.h);
        DecodedPicture d;
        std::string error;
        EXPECT_EQ(c.ok, DecodeJpeg(hostile.data(), hostile.size(), &d, &error)) << error;
        if (!c.ok) {
            EXPECT_FALSE(error.empty());
        }
    }
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
