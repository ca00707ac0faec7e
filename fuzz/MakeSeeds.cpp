// Writes the seed inputs of the fuzz harnesses: a few small valid files per
// harness (every variant each decoder reads), so that a run starts from
// files that pass the first checks instead of from nothing. The pictures come
// from the writers the tests use. Run by scripts/fuzz-seeds.sh:
//   make_fuzz_seeds OUT_DIR   ->   OUT_DIR/<harness>/<file>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "../tests/engine/decoders/DecoderFiles.h"

namespace {

namespace ti = qndx::testimg;
using Bytes = std::vector<uint8_t>;

std::string g_out;
int g_failures = 0;

void Write(const char* harness, const std::string& name, const Bytes& bytes) {
    const std::string dir = g_out + "/" + harness;
    mkdir(dir.c_str(), 0755);
    const std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", path.c_str());
        ++g_failures;
    }
    if (f) std::fclose(f);
}

void Le16(Bytes* b, uint32_t v) {
    b->push_back((uint8_t)v);
    b->push_back((uint8_t)(v >> 8));
}
void Le32(Bytes* b, uint32_t v) {
    Le16(b, v & 0xFFFF);
    Le16(b, v >> 16);
}
void Tag(Bytes* b, const char* tag) { b->insert(b->end(), tag, tag + 4); }

// ---------------------------------------------------------------------------
// Pictures

// A 16-bit 5-6-5 bit-field file: the masks follow a 40-byte info header.
Bytes BmpBitFields565(const ti::Image& img) {
    Bytes f = ti::WriteBmpRgb(img, 16);
    const size_t stride = ti::BmpStride(img.width, 16);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const uint32_t c = img.At(x, y);
            const uint32_t w = (uint32_t)(ti::Red(c) >> 3) << 11 | (uint32_t)(ti::Green(c) >> 2) << 5 | ti::Blue(c) >> 3;
            ti::PutLE16(f, 54 + stride * (size_t)(img.height - 1 - y) + 2 * (size_t)x, w);
        }
    ti::PutLE32(f, 30, 3);
    Bytes masks;
    Le32(&masks, 0xF800);
    Le32(&masks, 0x07E0);
    Le32(&masks, 0x001F);
    f.insert(f.begin() + 54, masks.begin(), masks.end());
    ti::PutLE32(f, 2, (uint32_t)f.size());
    ti::PutLE32(f, 10, 54 + 12);
    return f;
}

// The 12-byte core header with a 3-byte-per-entry table, 8 bits.
Bytes BmpCore8(const ti::Indexed& p) {
    const size_t stride = ti::BmpStride(p.width, 8);
    Bytes f = {'B', 'M'};
    const uint32_t offBits = 14 + 12 + 3 * 256;
    Le32(&f, offBits + (uint32_t)(stride * p.height));
    Le32(&f, 0);
    Le32(&f, offBits);
    Le32(&f, 12);
    Le16(&f, (uint32_t)p.width);
    Le16(&f, (uint32_t)p.height);
    Le16(&f, 1);
    Le16(&f, 8);
    for (int i = 0; i < 256; ++i) {
        const uint32_t c = i < (int)p.palette.size() ? p.palette[i] : 0;
        f.insert(f.end(), {ti::Blue(c), ti::Green(c), ti::Red(c)});
    }
    for (int y = p.height - 1; y >= 0; --y) {
        Bytes row(stride, 0);
        for (int x = 0; x < p.width; ++x) row[x] = p.idx[(size_t)y * p.width + x];
        f.insert(f.end(), row.begin(), row.end());
    }
    return f;
}

// Runs, a literal stretch, a delta jump and the end codes of RLE8.
Bytes BmpRle8() {
    std::vector<uint32_t> table;
    for (int i = 0; i < 16; ++i) table.push_back(ti::Rgb(i * 16, 255 - i * 16, i * 8));
    const Bytes stream = {5, 1, 0, 3, 2, 3, 4, 0,  0, 0, 0, 2, 1, 1, 4, 7, 0, 0,
                          8, 9, 0, 0, 3, 5, 0,  0, 3, 4, 5, 6, 0, 0, 0, 1};
    return ti::WriteBmpRle8(8, 4, table, stream);
}

std::vector<std::pair<std::string, Bytes>> BmpFiles() {
    std::vector<std::pair<std::string, Bytes>> files;
    const ti::Image rgb = ti::Pattern(13, 7);
    files.push_back({"rgb24.bmp", ti::WriteBmpRgb(rgb, 24)});
    files.push_back({"rgb32.bmp", ti::WriteBmpRgb(rgb, 32)});
    files.push_back({"rgb555.bmp", ti::WriteBmpRgb(rgb, 16)});
    files.push_back({"rgb565-bitfields.bmp", BmpBitFields565(rgb)});
    ti::BmpLayout topDown;
    topDown.topDown = true;
    files.push_back({"rgb24-topdown.bmp", ti::WriteBmpRgb(rgb, 24, topDown)});
    ti::BmpLayout v5;
    v5.headerSize = 124;
    files.push_back({"rgb24-v5.bmp", ti::WriteBmpRgb(rgb, 24, v5)});
    files.push_back({"index1.bmp", ti::WriteBmpIndexed(ti::IndexedPattern(19, 5, 1, 2), 1)});
    files.push_back({"index4.bmp", ti::WriteBmpIndexed(ti::IndexedPattern(11, 6, 4, 12), 4)});
    files.push_back({"index8.bmp", ti::WriteBmpIndexed(ti::IndexedPattern(9, 9, 8, 200), 8)});
    files.push_back({"index8-core.bmp", BmpCore8(ti::IndexedPattern(6, 5, 8, 256))});
    files.push_back({"rle8.bmp", BmpRle8()});
    return files;
}

// For the passes with inputs up to 1 MiB: pictures of a few hundred
// kilobytes, and a small picture carrying 250 text chunks that each inflate
// to 4 MB (a decoder that keeps its text needs 1 GB for it), within 1 MiB.
void LargePictureSeeds() {
    ti::JpegOptions o;
    o.quality = 90;
    o.progressive = true;
    Write("jpeg-1m", "progressive-512.jpg", ti::EncodeJpeg(ti::Pattern(512, 512), o));
    o.progressive = false;
    o.subsample420 = true;
    Write("jpeg-1m", "baseline-480x400.jpg", ti::EncodeJpeg(ti::Pattern(480, 400, 5), o));

    ti::PngPicture big;
    big.width = 500;
    big.height = 400;
    big.colourType = 2;
    const ti::Image pattern = ti::Pattern(big.width, big.height);
    for (uint32_t c : pattern.px) big.samples.insert(big.samples.end(), {ti::Red(c), ti::Green(c), ti::Blue(c)});
    Write("png-1m", "rgb-500x400.png", ti::EncodePng(big));

    ti::PngPicture small;
    small.width = 16;
    small.height = 8;
    small.colourType = 2;
    for (int i = 0; i < 16 * 8 * 3; ++i) small.samples.push_back((uint16_t)(i * 7 & 0xFF));
    const Bytes plain = ti::EncodePng(small);
    const Bytes ztxt = ti::LibpngTextChunk(PNG_TEXT_COMPRESSION_zTXt, 4000000);
    const Bytes itxt = ti::LibpngTextChunk(PNG_ITXT_COMPRESSION_zTXt, 4000000);
    if (ztxt.empty() || itxt.empty()) throw std::runtime_error("libpng wrote no text chunk");
    Bytes before = plain, after = plain;
    for (int i = 0; i < 250; ++i) {
        before.insert(before.begin() + 33, ztxt.begin(), ztxt.end());  // after the header
        after.insert(after.end() - 12, itxt.begin(), itxt.end());      // before the end chunk
    }
    Write("png-1m", "text-before-data.png", before);
    Write("png-1m", "text-after-data.png", after);
}

void PictureSeeds() {
    // The engine's decoder reads run-length files; LoadImageA's reads bit
    // fields and the core header.
    for (const auto& file : BmpFiles()) {
        const std::string& name = file.first;
        const bool rle = name.rfind("rle", 0) == 0;
        const bool system = name.find("bitfields") != std::string::npos || name.find("core") != std::string::npos;
        if (!system) Write("bmp", name, file.second);
        if (rle) continue;
        Write("loadimage", name, file.second);
        // Resources hold packed DIBs: the same file without its file header.
        Write("loadimage", "packed-" + name, Bytes(file.second.begin() + 14, file.second.end()));
    }

    const ti::Image smooth = ti::Smooth(24, 16);
    ti::JpegOptions o;
    Write("jpeg", "baseline444.jpg", ti::EncodeJpeg(smooth, o));
    o.subsample420 = true;
    o.quality = 60;
    Write("jpeg", "baseline420.jpg", ti::EncodeJpeg(smooth, o));
    o.progressive = true;
    Write("jpeg", "progressive.jpg", ti::EncodeJpeg(smooth, o));
    ti::JpegOptions grey;
    grey.grey = true;
    Write("jpeg", "grey.jpg", ti::EncodeJpeg(smooth, grey));
    ti::JpegOptions exif;
    exif.exif = true;
    Write("jpeg", "exif.jpg", ti::EncodeJpeg(ti::Smooth(9, 11), exif));
    // Progressive scans that stop early: coefficients past 20 and the DC's
    // low bit never sent.
    ti::JpegOptions early;
    early.subsample420 = true;
    early.scans = {ti::JpegScan({0, 1, 2}, 0, 0, 0, 1), ti::JpegScan({0}, 1, 20, 0, 0), ti::JpegScan({1}, 1, 5, 0, 1),
                   ti::JpegScan({2}, 1, 5, 0, 0)};
    Write("jpeg", "progressive-early-stop.jpg", ti::EncodeJpeg(ti::Pattern(21, 13), early));

    struct PngKind {
        const char* name;
        int type, depth;
        bool interlaced, trns;
    };
    const PngKind kinds[] = {{"grey1", 0, 1, false, false},    {"grey16-trns", 0, 16, false, true},
                             {"rgb8", 2, 8, false, false},     {"rgb16-interlaced", 2, 16, true, false},
                             {"palette4-trns", 3, 4, false, true}, {"palette8-interlaced", 3, 8, true, false},
                             {"greyalpha8", 4, 8, false, false}, {"rgba8-interlaced", 6, 8, true, false},
                             {"rgba16", 6, 16, false, false}};
    for (const PngKind& k : kinds) {
        ti::PngPicture p;
        p.width = 11;
        p.height = 9;
        p.colourType = k.type;
        p.bitDepth = k.depth;
        p.interlaced = k.interlaced;
        const uint32_t most = k.depth == 16 ? 65536u : 1u << k.depth;
        if (k.type == 3)
            for (uint32_t i = 0; i < most; ++i) p.palette.push_back(i * 0x010305u & 0xFFFFFF);
        if (k.trns) p.trns = k.type == 3 ? Bytes{0, 128, 255} : Bytes{0, 7};
        p.samples.resize((size_t)p.width * p.height * p.Channels());
        for (size_t i = 0; i < p.samples.size(); ++i) p.samples[i] = (uint16_t)((i * 2654435761u >> 7) % most);
        Write("png", std::string(k.name) + ".png", ti::EncodePng(p));
    }

    LargePictureSeeds();

    Write("pcx", "index8.pcx", ti::WritePcx8(ti::IndexedPattern(10, 6, 8, 256)));
    ti::PcxLayout odd;
    odd.xmin = 3;
    odd.ymin = 2;
    odd.extraBytes = 2;
    Write("pcx", "index8-origin.pcx", ti::WritePcx8(ti::IndexedPattern(7, 5, 4, 16), odd));
    Write("pcx", "rgb24.pcx", ti::WritePcx24(ti::Pattern(9, 4)));

    const ti::Image tgaImage = ti::Pattern(7, 5);
    std::vector<uint32_t> colours(tgaImage.px.begin(), tgaImage.px.end());
    std::vector<uint32_t> indices;
    for (size_t i = 0; i < colours.size(); ++i) indices.push_back((uint32_t)(i * 7 % 5));
    struct TgaKind {
        const char* name;
        int type, depth;
        bool topDown, map;
    };
    const TgaKind tgaKinds[] = {{"mapped8", 1, 8, false, true},     {"rgb24", 2, 24, false, false},
                                {"rgb16-topdown", 2, 16, true, false}, {"grey8", 3, 8, false, false},
                                {"rle-mapped8", 9, 8, true, true},  {"rle-rgb32", 10, 32, false, false},
                                {"rle-grey8", 11, 8, false, false}};
    for (const TgaKind& k : tgaKinds) {
        ti::TgaLayout l;
        l.imageType = k.type;
        l.depth = k.depth;
        l.topDown = k.topDown;
        l.idLength = k.map ? 3 : 0;
        if (k.map) l.map = {0x102030, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
        const bool values8 = k.depth == 8;
        Write("tga", std::string(k.name) + ".tga",
              ti::WriteTga(tgaImage.width, tgaImage.height, values8 ? (k.map ? indices : std::vector<uint32_t>(colours.size(), 0x80)) : colours, l));
    }
}

// ---------------------------------------------------------------------------
// Sounds

// A RIFF WAVE file from a format chunk's body and the sample bytes; `extra`
// chunks (whole, with their headers) go between the two.
Bytes Wave(const Bytes& fmt, const Bytes& data, const Bytes& extra = Bytes()) {
    Bytes b;
    Tag(&b, "RIFF");
    Le32(&b, (uint32_t)(4 + 8 + fmt.size() + extra.size() + 8 + data.size() + (data.size() & 1)));
    Tag(&b, "WAVE");
    Tag(&b, "fmt ");
    Le32(&b, (uint32_t)fmt.size());
    b.insert(b.end(), fmt.begin(), fmt.end());
    b.insert(b.end(), extra.begin(), extra.end());
    Tag(&b, "data");
    Le32(&b, (uint32_t)data.size());
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() & 1) b.push_back(0);
    return b;
}

Bytes Format(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits, uint32_t blockAlign) {
    Bytes f;
    Le16(&f, tag);
    Le16(&f, channels);
    Le32(&f, rate);
    Le32(&f, rate * blockAlign);
    Le16(&f, blockAlign);
    Le16(&f, bits);
    return f;
}

// Samples of a ramp, `bytes` each, little endian, for `frames` x `channels`.
Bytes Ramp(size_t frames, int channels, int bytes) {
    Bytes d;
    for (size_t i = 0; i < frames * (size_t)channels; ++i) {
        const uint32_t v = (uint32_t)(i * 0x01234567u);
        for (int k = 0; k < bytes; ++k) d.push_back((uint8_t)(v >> (8 * k)));
    }
    return d;
}

void WaveSeeds() {
    Write("wav", "pcm8-mono-8000.wav", Wave(Format(1, 1, 8000, 8, 1), Ramp(300, 1, 1)));
    Write("wav", "pcm16-stereo-44100.wav", Wave(Format(1, 2, 44100, 16, 4), Ramp(400, 2, 2)));
    Write("wav", "pcm24-mono-48000.wav", Wave(Format(1, 1, 48000, 24, 3), Ramp(200, 1, 3)));
    Write("wav", "pcm32-stereo-22050.wav", Wave(Format(1, 2, 22050, 32, 8), Ramp(150, 2, 4)));
    Write("wav", "pcm16-6ch-48000.wav", Wave(Format(1, 6, 48000, 16, 12), Ramp(100, 6, 2)));

    Bytes floats;
    for (int i = 0; i < 256; ++i) {
        const float v = (float)(i % 64 - 32) / 32.0f;
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        Le32(&floats, bits);
    }
    Bytes floatFmt = Format(3, 1, 32000, 32, 4);
    Le16(&floatFmt, 0);  // cbSize
    Bytes fact;
    Tag(&fact, "fact");
    Le32(&fact, 4);
    Le32(&fact, 256);
    Write("wav", "float32-mono-32000.wav", Wave(floatFmt, floats, fact));
    Write("wav", "alaw-mono-8000.wav", Wave(Format(6, 1, 8000, 8, 1), Ramp(300, 1, 1)));
    Write("wav", "mulaw-stereo-11025.wav", Wave(Format(7, 2, 11025, 8, 2), Ramp(300, 2, 1)));

    // Extensible PCM: the sub-format GUID names PCM.
    Bytes ext = Format(0xFFFE, 2, 48000, 16, 4);
    Le16(&ext, 22);
    Le16(&ext, 16);  // valid bits
    Le32(&ext, 3);   // channel mask: front left and right
    const uint8_t pcmGuid[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    ext.insert(ext.end(), pcmGuid, pcmGuid + 16);
    Bytes list;
    Tag(&list, "LIST");
    Le32(&list, 9);
    list.insert(list.end(), {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 0, 0});  // odd length, padded
    Write("wav", "extensible-pcm16.wav", Wave(ext, Ramp(200, 2, 2), list));

    // IMA ADPCM: 256-byte mono blocks of 505 samples.
    Bytes ima = Format(0x11, 1, 22050, 4, 256);
    Le16(&ima, 2);
    Le16(&ima, 505);
    Bytes imaData;
    for (int block = 0; block < 2; ++block) {
        Le16(&imaData, (uint32_t)(block * 1000));
        imaData.push_back((uint8_t)(10 + block * 20));  // step index
        imaData.push_back(0);
        for (int i = 0; i < 252; ++i) imaData.push_back((uint8_t)(i * 37));
    }
    Write("wav", "ima-adpcm-mono.wav", Wave(ima, imaData));

    // Microsoft ADPCM: the seven standard coefficient pairs, 256-byte blocks.
    Bytes ms = Format(2, 1, 22050, 4, 256);
    Le16(&ms, 32);
    Le16(&ms, 500);
    Le16(&ms, 7);
    const int coef[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
    for (const auto& c : coef) {
        Le16(&ms, (uint32_t)(int16_t)c[0]);
        Le16(&ms, (uint32_t)(int16_t)c[1]);
    }
    Bytes msData;
    for (int block = 0; block < 2; ++block) {
        msData.push_back((uint8_t)block);  // predictor
        Le16(&msData, 16);                 // delta
        Le16(&msData, 100);                // sample 1
        Le16(&msData, 50);                 // sample 2
        for (int i = 0; i < 249; ++i) msData.push_back((uint8_t)(i * 53));
    }
    Write("wav", "ms-adpcm-mono.wav", Wave(ms, msData));
}

Bytes Be32(uint32_t v) { return {(uint8_t)(v >> 24), (uint8_t)(v >> 16), (uint8_t)(v >> 8), (uint8_t)v}; }

Bytes Midi(uint16_t format, uint16_t division, const std::vector<Bytes>& tracks) {
    Bytes b = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
    b.insert(b.end(), {(uint8_t)(format >> 8), (uint8_t)format, (uint8_t)(tracks.size() >> 8), (uint8_t)tracks.size(),
                       (uint8_t)(division >> 8), (uint8_t)division});
    for (const Bytes& t : tracks) {
        Tag(&b, "MTrk");
        const Bytes len = Be32((uint32_t)t.size());
        b.insert(b.end(), len.begin(), len.end());
        b.insert(b.end(), t.begin(), t.end());
    }
    return b;
}

void MidiSeeds() {
    const Bytes end = {0x00, 0xFF, 0x2F, 0x00};
    auto with = [&](Bytes events, bool ended = true) {
        if (ended) events.insert(events.end(), end.begin(), end.end());
        return events;
    };
    std::vector<std::pair<std::string, Bytes>> files;
    files.push_back({"two-notes.mid", Midi(0, 96, {with({0x00, 0xC1, 48, 0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0,
                                                         0x00, 0x91, 67, 100, 0x60, 0x81, 67, 0})})});
    // A fast tempo, running status, controllers, pitch bend, pressure.
    files.push_back({"running-status.mid",
                     Midi(0, 480, {with({0x00, 0xFF, 0x51, 0x03, 0x01, 0x00, 0x00,  // tempo
                                         0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8,       // time signature
                                         0x00, 0xFF, 0x59, 0x02, 0xFE, 0,           // key signature
                                         0x00, 0xB0, 7, 100, 0x00, 10, 30,          // volume, pan (running)
                                         0x00, 0x90, 64, 90, 0x10, 67, 90, 0x10, 71, 90,
                                         0x20, 0xE0, 0x00, 0x50, 0x10, 0xD0, 60, 0x10, 0xA0, 64, 40,
                                         0x81, 0x00, 0x80, 64, 0, 0x00, 67, 0, 0x00, 71, 0})})});
    // Format 1: a tempo track, then two instruments; system exclusive and
    // text meta events.
    files.push_back(
        {"format1.mid",
         Midi(1, 96,
              {with({0x00, 0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g', 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}),
               with({0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x00, 0xC0, 0, 0x00, 0x90, 48, 80, 0x30, 0x80,
                     48, 64}),
               with({0x00, 0xC9, 0, 0x00, 0x99, 36, 120, 0x18, 0x99, 38, 100, 0x18, 0x89, 36, 0, 0x00, 0x89, 38,
                     0})})});
    // A track that stops without its end-of-track event.
    files.push_back({"no-end.mid", Midi(0, 96, {with({0x00, 0x90, 72, 64, 0x30, 0x80, 72, 0}, false)})});
    for (const auto& f : files) {
        Write("midi", f.first, f.second);
        Write("midiplay", f.first, f.second);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds OUT_DIR\n");
        return 2;
    }
    g_out = argv[1];
    mkdir(g_out.c_str(), 0755);
    try {
        PictureSeeds();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_fuzz_seeds: %s\n", e.what());
        return 1;
    }
    WaveSeeds();
    MidiSeeds();
    return g_failures ? 1 : 0;
}
