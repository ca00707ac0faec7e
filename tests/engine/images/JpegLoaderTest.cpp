// The JPEG decoder: JFIF files of every layout in every surface pixel kind,
// detection, truncated and hostile data, and each platform step failing.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "GraphicEngine/ImageLoader/JPEGImageLoader.h"
#include "engine/images/LoaderTestSupport.h"
#include "platform/Kernel.h"
#include "platform/sim/Display.h"
#include "platform/sim/Sim.h"

namespace {

namespace ti = qndx::testimg;

struct JpegCase {
    std::string name;
    ti::JpegOptions opt;
    int tolerance;
};

std::vector<JpegCase> Layouts() {
    std::vector<JpegCase> cases(4);
    cases[0].name = "4:4:4";
    cases[0].tolerance = 8;
    cases[1].name = "4:2:0";
    cases[1].opt.subsample420 = true;
    cases[1].tolerance = 20;
    cases[2].name = "greyscale";
    cases[2].opt.grey = true;
    cases[2].tolerance = 8;
    cases[3].name = "progressive";
    cases[3].opt.progressive = true;
    cases[3].opt.subsample420 = true;
    cases[3].tolerance = 20;
    return cases;
}

ti::Image Greyed(const ti::Image& img) {
    ti::Image g = img;
    for (auto& p : g.px) p = ti::Rgb(ti::Green(p), ti::Green(p), ti::Green(p));
    return g;
}

TEST(JpegLoader, EveryLayoutDecodesUprightInEveryKindWithinTolerance) {
    const ti::Image sizes[] = {ti::Smooth(13, 7), ti::Smooth(1, 1), ti::Smooth(40, 33)};
    for (int bpp : ti::kSurfaceKinds) {
        ti::DisplayAt display(bpp);
        for (const JpegCase& c : Layouts()) {
            for (const ti::Image& src : sizes) {
                const std::string what = c.name + " " + std::to_string(src.width) + "x" +
                                         std::to_string(src.height) + " into " + std::to_string(bpp) + " bits";
                std::vector<uint8_t> file = ti::EncodeJpeg(src, c.opt);
                ti::ExactCopy data(file);
                CQNDXJPEGImageLoader loader;
                IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
                ASSERT_NE(nullptr, s) << what;
                ti::SurfacePixels px = ti::ReadSurface(s);
                ASSERT_EQ(src.width, px.width) << what;
                ASSERT_EQ(src.height, px.height) << what;
                // Close to the source (narrow kinds lose up to 8 more on a
                // channel), and exactly what libjpeg itself decodes.
                EXPECT_LE(ti::WorstError(px, c.opt.grey ? Greyed(src) : src), c.tolerance + (bpp <= 16 ? 8 : 0))
                    << what;
                ti::ExpectExactly(px, ti::DecodeJpegReference(file), what);
                EXPECT_EQ(0u, s->Release());
            }
        }
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(JpegLoader, DetectsJfifOnlyButLoadsExifWhenAsked) {
    ti::Image src = ti::Smooth(16, 16);
    std::vector<uint8_t> jfif = ti::EncodeJpeg(src);
    ti::JpegOptions exifOpt;
    exifOpt.exif = true;
    std::vector<uint8_t> exif = ti::EncodeJpeg(src, exifOpt);
    ASSERT_EQ(0, std::memcmp(exif.data() + 6, "Exif", 4));

    CQNDXJPEGImageLoader loader;
    EXPECT_EQ(1, loader.CanLoad(jfif.data(), 256, nullptr, 0));
    EXPECT_EQ(1, loader.CanLoad(jfif.data(), 10, nullptr, 0));
    EXPECT_EQ(0, loader.CanLoad(jfif.data(), 9, nullptr, 0));
    EXPECT_EQ(0, loader.CanLoad(exif.data(), 256, nullptr, 0));
    std::vector<uint8_t> noMarker = jfif;
    noMarker[2] = 0x00;
    EXPECT_EQ(0, loader.CanLoad(noMarker.data(), 256, nullptr, 0));
    EXPECT_EQ(0, loader.CanLoad(nullptr, 256, nullptr, 0));

    ti::DisplayAt display(32);
    IDirectDrawSurface7* s = loader.Load(display.Get(), (unsigned int)exif.size(), exif.data());
    ASSERT_NE(nullptr, s);
    EXPECT_LE(ti::WorstError(ti::ReadSurface(s), src), 8);
    s->Release();
}

TEST(JpegLoader, APictureOfOneInchByHalfAnInchIs96By48Pixels) {
    ti::DisplayAt display(24);
    std::vector<uint8_t> file = ti::EncodeJpeg(ti::Smooth(96, 48));
    CQNDXJPEGImageLoader loader;
    IDirectDrawSurface7* s = loader.Load(display.Get(), (unsigned int)file.size(), file.data());
    ASSERT_NE(nullptr, s);
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = QNDX_DDSURFACEDESC2_TAG;
    ASSERT_EQ(DD_OK, s->GetSurfaceDesc(&desc));
    EXPECT_EQ(96u, desc.dwWidth);
    EXPECT_EQ(48u, desc.dwHeight);
    EXPECT_NE(0u, desc.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY);
    s->Release();
}

// Offset of the first scan's marker.
size_t FirstScan(const std::vector<uint8_t>& file) {
    for (size_t i = 2; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == 0xDA) return i;
    return file.size();
}

// Offset of the first scan's entropy-coded data.
size_t FirstScanData(const std::vector<uint8_t>& file) {
    const size_t at = FirstScan(file);
    return at + 4 < file.size() ? at + 2 + ((size_t)file[at + 2] << 8 | file[at + 3]) : file.size();
}

TEST(JpegLoader, TheFrameSizeIsFoundThroughTheMarkerStructure) {
    for (const JpegCase& c : Layouts()) {
        std::vector<uint8_t> file = ti::EncodeJpeg(ti::Smooth(24, 20), c.opt);
        const size_t scan = FirstScan(file);
        for (size_t cut = 0; cut <= file.size(); ++cut) {
            ti::ExactCopy part(file.data(), cut);
            int w = 0, h = 0;
            const int found = CQNDXJPEGImageLoader::ReadFrameSize(part.Size(), part.Data(), &w, &h);
            // The frame header lies before the first scan: cuts after it find it.
            if (cut >= scan) {
                EXPECT_EQ(1, found) << c.name << " cut " << cut;
                EXPECT_EQ(24, w);
                EXPECT_EQ(20, h);
            } else if (found) {
                EXPECT_EQ(24, w) << c.name << " cut " << cut;
                EXPECT_EQ(20, h) << c.name << " cut " << cut;
            }
        }
        std::vector<uint8_t> claimed = ti::JpegWithFrameSize(file, 16384, 5400);
        int w = 0, h = 0;
        EXPECT_EQ(1, CQNDXJPEGImageLoader::ReadFrameSize((unsigned int)claimed.size(), claimed.data(), &w, &h));
        EXPECT_EQ(16384, w);
        EXPECT_EQ(5400, h);
    }
    const unsigned char lengthPastEnd[] = {0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xF0, 0, 0};
    EXPECT_EQ(0, CQNDXJPEGImageLoader::ReadFrameSize(sizeof lengthPastEnd, lengthPastEnd, nullptr, nullptr));
    const unsigned char shortLength[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x01, 0xFF, 0xD9};
    EXPECT_EQ(0, CQNDXJPEGImageLoader::ReadFrameSize(sizeof shortLength, shortLength, nullptr, nullptr));
    const unsigned char scanFirst[] = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xC0, 0x00, 0x08, 8, 0, 1, 0, 1, 1};
    EXPECT_EQ(0, CQNDXJPEGImageLoader::ReadFrameSize(sizeof scanFirst, scanFirst, nullptr, nullptr));
}

// Scan data cut short is refused even with an end marker put back after
// it; a file whose scans are all whole loads with libjpeg's own pixels
// whether its end marker is missing, cut in half, or followed by bytes. A
// progressive file cut between two scans shows what they hold: a cut inside
// a scan is refused, one at a scan's end loads, and one inside the markers
// between two scans loads when libjpeg shows the same bytes whole.
TEST(JpegLoader, ScansCutShortAreRefusedAndAMissingEndMarkerIsNot) {
    ti::DisplayAt display(32);
    for (const JpegCase& c : Layouts()) {
        std::vector<uint8_t> file = ti::EncodeJpeg(ti::Smooth(17, 9), c.opt);
        ASSERT_EQ(0xD9, file.back());
        const ti::Image reference = ti::DecodeJpegReference(file);
        const size_t scanData = FirstScanData(file);
        const std::vector<ti::ScanData> scans = ti::JpegScans(file);
        ASSERT_EQ(c.opt.progressive ? 10u : 1u, scans.size()) << c.name;
        for (size_t cut = 0; cut <= file.size(); ++cut) {
            bool insideScan = false, atScanEnd = false;
            for (const ti::ScanData& scan : scans) {
                insideScan = insideScan || (cut >= scan.begin && cut < scan.end);
                atScanEnd = atScanEnd || cut == scan.end;
            }
            for (bool endMarker : {false, true}) {
                std::vector<uint8_t> bytes(file.begin(), file.begin() + (long)cut);
                if (endMarker) bytes.insert(bytes.end(), {0xFF, 0xD9});
                const std::string what = c.name + " cut at " + std::to_string(cut) + (endMarker ? " + EOI" : "");
                ti::JpegVerdict expected;
                expected.whole = cut >= file.size() - 2;
                expected.image = reference;
                if (c.opt.progressive && !expected.whole) {
                    expected = ti::JudgeJpeg(bytes);
                    if (insideScan) {
                        EXPECT_FALSE(expected.whole) << what << ": libjpeg shows a cut scan whole";
                    }
                    if (atScanEnd) {
                        EXPECT_TRUE(expected.whole) << what << ": libjpeg refuses whole scans";
                    }
                }
                ti::ExactCopy data(bytes);
                ti::ErrorLines errors;
                CQNDXJPEGImageLoader loader;
                IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
                std::vector<std::string> lines = errors.Take();
                if (expected.whole) {
                    ASSERT_NE(nullptr, s) << what << ": " << (lines.empty() ? "" : lines[0]);
                    EXPECT_EQ(0u, lines.size()) << what;
                    ti::ExpectExactly(ti::ReadSurface(s), expected.image, what);
                } else {
                    EXPECT_EQ(nullptr, s) << what;
                    ASSERT_EQ(1u, lines.size()) << what;
                    // Without a marker after the cut the reason is plain;
                    // one put back inside a later segment reads as damage.
                    if (cut >= scanData && (!endMarker || !c.opt.progressive)) {
                        EXPECT_NE(std::string::npos, lines[0].find("truncated")) << what << ": " << lines[0];
                    }
                }
                if (s) s->Release();
            }
        }
        std::vector<uint8_t> trailing = file;
        trailing.insert(trailing.end(), {0x00, 0x12, 0xFF, 0xD8, 0xFF, 0xE0, 0x33});
        ti::ExactCopy data(trailing);
        CQNDXJPEGImageLoader loader;
        IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
        ASSERT_NE(nullptr, s) << c.name << " with bytes after its end";
        ti::ExpectExactly(ti::ReadSurface(s), reference, c.name + " with bytes after its end");
        s->Release();
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

// Progressive files that leave coefficients, or their low bits, unsent are
// legal (encoders stop early to save bytes). Each loads in every kind with
// exactly libjpeg's pixels, and so does every cut at the end of one of its
// scans; a cut inside a scan is refused.
TEST(JpegLoader, ProgressiveFilesThatStopEarlyShowWhatLibjpegShows) {
    struct Script {
        const char* name;
        bool grey;
        std::vector<jpeg_scan_info> scans;  // none: libjpeg's standard full progression
    };
    using ti::JpegScan;
    const std::vector<Script> scripts = {
        {"spectral selection ending at 20", false,
         {JpegScan({0, 1, 2}, 0, 0, 0, 0), JpegScan({0}, 1, 5, 0, 0), JpegScan({1}, 1, 5, 0, 0),
          JpegScan({2}, 1, 5, 0, 0), JpegScan({0}, 6, 20, 0, 0)}},
        {"DC and AC low bits never refined", false,
         {JpegScan({0, 1, 2}, 0, 0, 0, 1), JpegScan({0}, 1, 63, 0, 1), JpegScan({1}, 1, 63, 0, 0),
          JpegScan({2}, 1, 63, 0, 2)}},
        {"grey, DC only with its low bit unsent", true, {JpegScan({0}, 0, 0, 0, 1)}},
        {"grey, spectral selection ending at 9, refined once", true,
         {JpegScan({0}, 0, 0, 0, 0), JpegScan({0}, 1, 9, 0, 1), JpegScan({0}, 1, 9, 1, 0)}},
        {"standard full progression", false, {}},
    };
    const ti::Image src = ti::Pattern(37, 23);
    for (const Script& script : scripts) {
        ti::JpegOptions opt;
        opt.grey = script.grey;
        opt.subsample420 = true;
        opt.scans = script.scans;
        opt.progressive = script.scans.empty();
        const std::vector<uint8_t> file = ti::EncodeJpeg(src, opt);
        const std::vector<ti::ScanData> scans = ti::JpegScans(file);
        ASSERT_EQ(script.scans.empty() ? 10u : script.scans.size(), scans.size()) << script.name;
        // The whole file, then the file cut after each scan but the last.
        std::vector<std::pair<std::string, std::vector<uint8_t>>> loads = {{"whole", file}};
        for (size_t k = 0; k + 1 < scans.size(); ++k)
            loads.push_back({"cut after scan " + std::to_string(k + 1),
                             std::vector<uint8_t>(file.begin(), file.begin() + (long)scans[k].end)});
        for (int bpp : ti::kSurfaceKinds) {
            ti::DisplayAt display(bpp);
            for (const auto& load : loads) {
                const std::string what =
                    std::string(script.name) + ", " + load.first + ", " + std::to_string(bpp) + " bits";
                const ti::JpegVerdict libjpeg = ti::JudgeJpeg(load.second);
                ASSERT_TRUE(libjpeg.whole) << what << ": libjpeg does not show it";
                ti::ExactCopy data(load.second);
                ti::ErrorLines errors;
                IDirectDrawSurface7* s = CQNDXJPEGImageLoader().Load(display.Get(), data.Size(), data.Data());
                const std::vector<std::string> lines = errors.Take();
                ASSERT_NE(nullptr, s) << what << ": " << (lines.empty() ? "" : lines[0]);
                EXPECT_TRUE(lines.empty()) << what;
                ti::ExpectExactly(ti::ReadSurface(s), libjpeg.image, what);
                s->Release();
            }
            // Half-way through each scan's data, with an end marker put back.
            for (size_t k = 0; k < scans.size(); ++k) {
                std::vector<uint8_t> cut(file.begin(), file.begin() + (long)((scans[k].begin + scans[k].end) / 2));
                cut.insert(cut.end(), {0xFF, 0xD9});
                const std::string what = std::string(script.name) + ", cut inside scan " + std::to_string(k + 1);
                ti::ExactCopy data(cut);
                ti::ErrorLines errors;
                IDirectDrawSurface7* s = CQNDXJPEGImageLoader().Load(display.Get(), data.Size(), data.Data());
                const std::vector<std::string> lines = errors.Take();
                EXPECT_EQ(nullptr, s) << what;
                ASSERT_EQ(1u, lines.size()) << what;
                EXPECT_NE(std::string::npos, lines[0].find("truncated")) << what << ": " << lines[0];
                if (s) s->Release();
            }
        }
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(JpegLoader, HostileSizesAndForeignDataAreRefusedWithAnErrorLine) {
    std::vector<uint8_t> file = ti::EncodeJpeg(ti::Smooth(16, 16));
    std::vector<std::vector<uint8_t>> hostile = {
        ti::JpegWithFrameSize(file, 20000, 16),
        ti::JpegWithFrameSize(file, 16, 20000),
        ti::JpegWithFrameSize(file, 12000, 12000),
        ti::JpegWithFrameSize(file, 0, 16),
        ti::WriteBmpRgb(ti::Pattern(4, 4), 24),
        {0xFF, 0xD8, 0xFF, 0xD9},
    };
    ti::DisplayAt display(32);
    for (size_t i = 0; i < hostile.size(); ++i) {
        ti::ExactCopy data(hostile[i]);
        ti::ErrorLines errors;
        CQNDXJPEGImageLoader loader;
        IDirectDrawSurface7* s = loader.Load(display.Get(), data.Size(), data.Data());
        EXPECT_EQ(nullptr, s) << "case " << i;
        EXPECT_EQ(1u, errors.Take().size()) << "case " << i;
        if (s) s->Release();
    }
    EXPECT_EQ(0, qndx::sim::LiveSurfaceCount());
}

TEST(JpegLoader, EachFailingPlatformStepGivesNoSurfaceAndAnErrorLine) {
    std::vector<uint8_t> file = ti::EncodeJpeg(ti::Smooth(8, 8));
    ti::DisplayAt display(32);
    struct Step {
        const char* call;
        HRESULT code;
    } steps[] = {
        {"GlobalAlloc", (HRESULT)ERROR_NOT_ENOUGH_MEMORY},
        {"CreateStreamOnHGlobal", E_OUTOFMEMORY},
        {"OleLoadPicture", E_FAIL},
        {"CreateICA", (HRESULT)ERROR_INVALID_PARAMETER},
        {"IDirectDraw7::CreateSurface", DDERR_OUTOFMEMORY},
        {"IDirectDrawSurface7::GetDC", DDERR_CANTCREATEDC},
        {"IPicture::Render", E_FAIL},
    };
    for (const Step& step : steps) {
        qndx::sim::FailNext(step.call, 1, step.code);
        ti::ErrorLines errors;
        CQNDXJPEGImageLoader loader;
        IDirectDrawSurface7* s = loader.Load(display.Get(), (unsigned int)file.size(), file.data());
        EXPECT_EQ(nullptr, s) << step.call;
        EXPECT_EQ(1u, errors.Take().size()) << step.call;
        EXPECT_EQ(0, qndx::sim::PendingFaults(step.call)) << step.call << " was not reached";
        EXPECT_EQ(0, qndx::sim::LiveSurfaceCount()) << step.call;
        if (s) s->Release();
    }
    // And with every step working again, the same data loads.
    CQNDXJPEGImageLoader loader;
    IDirectDrawSurface7* s = loader.Load(display.Get(), (unsigned int)file.size(), file.data());
    ASSERT_NE(nullptr, s);
    s->Release();
}

}  // namespace
