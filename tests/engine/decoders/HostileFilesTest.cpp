// Hostile image files through the loader front end, by name, as a game loads
// them: each is refused with exactly one error line that names the file and
// the reason, after allocating little more than the file's own bytes. A JPEG
// that lacks its end marker, or has bytes after it, loads with libjpeg's own
// pixels. With a game manager, so in a child process per display kind.
#define QNDX_ALLOCATION_COUNTER_DEFINE
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "GameManager.h"
#include "GraphicEngine/ImageLoader/ImageLoader.h"
#include "GraphicEngine/VideoEngine.h"
#include "LogEngine/Log.h"
#include "SystemMessager.h"
#include "engine/decoders/DecoderFiles.h"
#include "engine/images/LoaderTestSupport.h"
#include "platform/sim/Kernel.h"
#include "support/TempDir.h"

namespace {

namespace ti = qndx::testimg;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

const int kHuge = 16384;

// Bits into a byte stream, first bit in the lowest place (deflate's order).
class BitWriter {
public:
    void Put(uint32_t value, int bits) {
        for (int i = 0; i < bits; ++i) PutBit((value >> i) & 1);
    }
    // A Huffman code goes out from its top bit down.
    void PutCode(uint32_t code, int bits) {
        for (int i = bits - 1; i >= 0; --i) PutBit((code >> i) & 1);
    }
    Bytes Take() { return m_bytes; }

private:
    void PutBit(uint32_t bit) {
        if (m_used == 0) m_bytes.push_back(0);
        m_bytes.back() |= (uint8_t)(bit << m_used);
        m_used = (m_used + 1) & 7;
    }
    Bytes m_bytes;
    int m_used = 0;
};

// A zlib stream of `count` zero bytes in one fixed-code deflate block: a
// literal zero, then copies of 258 bytes from one byte back, then literals.
Bytes ZlibZeros(uint64_t count) {
    BitWriter bits;
    bits.Put(1, 1);              // last block
    bits.Put(1, 2);              // fixed codes
    bits.PutCode(0x30, 8);       // literal 0
    uint64_t left = count - 1;
    for (; left >= 258; left -= 258) {
        bits.PutCode(0xC5, 8);   // length 258 (code 285)
        bits.PutCode(0, 5);      // distance 1
    }
    for (; left > 0; --left) bits.PutCode(0x30, 8);
    bits.PutCode(0, 7);          // end of block
    Bytes z = {0x78, 0x01};
    const Bytes body = bits.Take();
    z.insert(z.end(), body.begin(), body.end());
    ti::PutBE32(z, (uint32_t)((count % 65521) << 16 | 1));  // Adler-32 of zeros
    return z;
}

Bytes PngHeader(uint32_t w, uint32_t h, int colourType) {
    Bytes f = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr;
    ti::PutBE32(ihdr, w);
    ti::PutBE32(ihdr, h);
    ihdr.insert(ihdr.end(), {8, (uint8_t)colourType, 0, 0, 0});
    ti::PngChunk(f, "IHDR", ihdr);
    return f;
}

// 86 bytes: a 1 x 1 picture, then a text chunk claiming 0x7FFFFFF0 bytes.
Bytes PngWithHugeText() {
    Bytes f = PngHeader(1, 1, 0);
    ti::PutBE32(f, 0x7FFFFFF0u);
    f.insert(f.end(), {'t', 'E', 'X', 't'});
    const char text[] = "Comment\0a comment that goes on and on and";
    f.insert(f.end(), text, text + sizeof text - 1);
    f.resize(86, 'x');
    return f;
}

// A whole, valid 16384 x 16384 grey picture of about 1.7 MB.
Bytes PngHuge() {
    Bytes f = PngHeader(kHuge, kHuge, 0);
    ti::PngChunk(f, "IDAT", ZlibZeros((uint64_t)kHuge * (kHuge + 1)));
    ti::PngChunk(f, "IEND", {});
    return f;
}

// A whole, valid 16384 x 16384 8-bit PCX of zeros with its palette (8.5 MB).
Bytes PcxHuge() {
    Bytes f = ti::PcxHeader(kHuge, kHuge, 1, kHuge, ti::PcxLayout());
    Bytes line;
    const Bytes zeros(kHuge, 0);
    ti::PcxEncodeLine(zeros.data(), kHuge, line);
    f.reserve(f.size() + line.size() * kHuge + 769);
    for (int y = 0; y < kHuge; ++y) f.insert(f.end(), line.begin(), line.end());
    f.push_back(12);
    f.insert(f.end(), 768, 0);
    return f;
}

// A whole, valid 16384 x 16384 run-length grey TGA with its footer (4 MB).
Bytes TgaHuge() {
    Bytes f(18, 0);
    f[2] = 11;
    ti::PutLE16(f, 12, kHuge);
    ti::PutLE16(f, 14, kHuge);
    f[16] = 8;
    const size_t packets = (size_t)kHuge * kHuge / 128;
    f.reserve(f.size() + 2 * packets + 26);
    for (size_t i = 0; i < packets; ++i) f.insert(f.end(), {0xFF, 0x00});
    f.insert(f.end(), 8, 0);
    const char sig[] = "TRUEVISION-XFILE.";
    f.insert(f.end(), sig, sig + 18);
    return f;
}

// Offset just past the first scan's header.
size_t FirstScanData(const Bytes& jpeg) {
    for (size_t i = 2; i + 3 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) return i + 2 + ((size_t)jpeg[i + 2] << 8 | jpeg[i + 3]);
    return jpeg.size();
}

struct Refusal {
    const char* name;
    Bytes bytes;
    const char* reason24;  // what the line says on a 24-bit display
    const char* reason32;  // and on a 32-bit one
};

std::vector<Refusal> Refusals() {
    const Bytes jpeg = ti::EncodeJpeg(ti::Smooth(16, 16));
    Bytes cut(jpeg.begin(), jpeg.begin() + (long)(FirstScanData(jpeg) + 40));
    cut.insert(cut.end(), {0xFF, 0xD9});  // an end marker after scan data cut short
    Bytes planes = ti::PcxHeader(4, 4, 2, 4, ti::PcxLayout());
    planes[3] = 4;
    planes.resize(400, 0x11);
    Bytes junk(300, 0x5A);
    std::vector<Refusal> list = {
        {"text.png", PngWithHugeText(), "too large", "too large"},
        {"huge.png", PngHuge(), "too large", "too large"},
        {"huge.pcx", PcxHuge(), "too large", "too large"},
        {"huge.tga", TgaHuge(), "too large", "too large"},
        // 16384 x 5400: 253 MiB at 24 bits (within the caps, but its scan
        // data cannot hold it), 338 MiB at 32 bits.
        {"claims.jpg", ti::JpegWithFrameSize(jpeg, 16384, 5400), "truncated", "too large"},
        {"wide.jpg", ti::JpegWithFrameSize(jpeg, 20000, 16), "too large", "too large"},
        {"cut.jpg", cut, "truncated", "truncated"},
        {"planes.pcx", planes, "not supported", "not supported"},
        {"junk.dat", junk, "Unsuported message type", "Unsuported message type"},
    };
    return list;
}

class CaptureLog : public CQNDXLog {
public:
    std::vector<std::string> errors;
    int OnMessage(const char* msg, int type, int) override {
        if (type == 4) errors.push_back(msg);
        return 0;
    }
};

void Write(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
}

bool MatchesReference(IDirectDrawSurface7* s, const Bytes& jpeg) {
    const ti::Image want = ti::DecodeJpegReference(jpeg);
    ti::SurfacePixels px = ti::ReadSurface(s);
    if (px.width != want.width || px.height != want.height) return false;
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x)
            if (px.At(x, y) != ti::NativeOf(px.bpp, want.At(x, y))) return false;
    return true;
}

// The child: loads every file by name and exits 0 when every check held.
void LoadHostileFiles(const std::string& dir, int bpp, const std::vector<Refusal>& refusals, const Bytes& whole) {
    qndx::sim::SetDesktop(1024, 768, (DWORD)bpp);
    qndx::sim::SetCommandLine(("\"" + dir + "/game.exe\"").c_str());
    int failures = 0;
    auto check = [&failures, bpp](bool ok, const std::string& what) {
        if (!ok) {
            std::fprintf(stderr, "FAILED at %d bits: %s\n", bpp, what.c_str());
            ++failures;
        }
    };
    CQNDXGameManager* manager = CQNDXGameManager::Create();
    IDirectDraw7* dd = manager && manager->GetVideoEngine() ? manager->GetVideoEngine()->GetDirectDraw() : nullptr;
    check(dd && dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL) == DD_OK, "a video engine with a windowed level");
    CaptureLog log;
    if (dd) {
        manager->GetMessenger()->Register(&log, 1, 1, 1, 1);
        CQNDXImageLoader loader;
        for (const Refusal& r : refusals) {
            const std::string name = r.name;
            log.errors.clear();
            IDirectDrawSurface7* s;
            uint64_t allocated;
            {
                qndx_test::AllocationCounter counter;
                s = loader.LoadFromFile(r.name, nullptr);
                allocated = counter.Bytes();
            }
            check(s == nullptr, name + " is refused");
            if (s) s->Release();
            check(log.errors.size() == 1, name + " gives one error line, not " + std::to_string(log.errors.size()));
            const std::string line = log.errors.empty() ? "" : log.errors[0];
            const char* reason = bpp == 24 ? r.reason24 : r.reason32;
            check(line.find(reason) != std::string::npos, name + " says \"" + reason + "\": " + line);
            check(line.find("graphics\\" + name) != std::string::npos, name + " is named: " + line);
            // The file's own bytes are read whole; beyond them a refusal
            // costs little (libpng's and libjpeg's working memory).
            const uint64_t budget = r.bytes.size() + (256u << 10);
            check(allocated <= budget, name + " allocated " + std::to_string(allocated) + " bytes, more than " +
                                           std::to_string(budget));
        }
        // Every row there: no end marker, half of one, or bytes after it.
        const char* loads[] = {"noend.jpg", "halfend.jpg", "trailing.jpg"};
        for (const char* name : loads) {
            log.errors.clear();
            IDirectDrawSurface7* s = loader.LoadFromFile(name, nullptr);
            check(s != nullptr, std::string(name) + " loads");
            check(log.errors.empty(), std::string(name) + " logs nothing");
            if (s) {
                check(MatchesReference(s, whole), std::string(name) + " has libjpeg's pixels");
                s->Release();
            }
        }
        manager->GetMessenger()->Unregister(&log);
    }
    if (failures)
        for (const std::string& line : log.errors) std::fprintf(stderr, "log: %s\n", line.c_str());
    std::fflush(stderr);
    std::_Exit(failures == 0 ? 0 : 1);
}

TEST(HostileImages, AreRefusedCheaplyWithOneLineNamingTheFileAndTheReason) {
    const qndx::test::TempDir scratch("qndx-hostile");
    const std::string dir = scratch.path();
    ASSERT_FALSE(dir.empty());
    fs::create_directories(dir + "/graphics");
    const std::vector<Refusal> refusals = Refusals();
    for (const Refusal& r : refusals) Write(dir + "/graphics/" + r.name, r.bytes);
    const Bytes whole = ti::EncodeJpeg(ti::Smooth(33, 17), ti::JpegOptions());
    Write(dir + "/graphics/noend.jpg", Bytes(whole.begin(), whole.end() - 2));
    Write(dir + "/graphics/halfend.jpg", Bytes(whole.begin(), whole.end() - 1));
    Bytes trailing = whole;
    trailing.insert(trailing.end(), {0x00, 0xFF, 0xD8, 0x42, 0x42});
    Write(dir + "/graphics/trailing.jpg", trailing);
    for (int bpp : {24, 32}) {
        SCOPED_TRACE(bpp);
        EXPECT_EXIT(LoadHostileFiles(dir, bpp, refusals, whole), ::testing::ExitedWithCode(0), "");
    }
    fs::remove_all(dir);
}

}  // namespace
