// Writes the data of samples/tiles into a folder: graphics/tiles.png (a sheet
// of eight 32 x 32 tiles, four to a row), graphics/player.png (a 32 x 32
// sprite facing right on magenta), maps/level.txt (25 x 19 tile numbers),
// sounds/blip.wav (0.3 s of 3 kHz) and sounds/music.mid (a two-second flute
// tune). Deterministic and self-contained: a game's build compiles it without
// any library.
//   make_tiles_data OUTPUT_DIR
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const int kTile = 32;
const int kSheetColumns = 4;
const int kTileCount = 8;
const int kMapWidth = 25;
const int kMapHeight = 19;

struct Rgb {
    uint8_t r, g, b;
};

// grass, water, sand, stone, dirt, flowers, wall, path
const Rgb kBase[kTileCount] = {{40, 140, 40}, {30, 60, 170}, {200, 180, 100}, {120, 120, 120},
                               {120, 80, 40}, {60, 150, 60}, {90, 60, 60},    {170, 150, 120}};

// A pixel of tile t that differs from its neighbours, so a tile drawn a pixel
// off, flipped or taken from the wrong cell of the sheet never matches.
Rgb TilePixel(int t, int x, int y) {
    const Rgb& b = kBase[t];
    Rgb p = {uint8_t(b.r + (x * 3) % 24), uint8_t(b.g + (y * 5) % 24), uint8_t(b.b + (x * y + t * 7) % 32)};
    if (x == 0 || y == 0) p = {uint8_t(b.r / 2), uint8_t(b.g / 2), uint8_t(b.b / 2)};
    return p;
}

// The player: magenta around a figure looking right (eye and nose on the
// right, pack on the left), outlined in black.
Rgb PlayerPixel(int x, int y) {
    const Rgb key = {255, 0, 255};
    const double hx = x - 16.5, hy = y - 9.5;      // head
    const double bx = x - 15.5, by = y - 22.5;     // body
    const bool head = hx * hx + hy * hy <= 36.0;
    const bool body = bx * bx / 64.0 + by * by / 72.0 <= 1.0;
    const bool pack = x >= 4 && x <= 8 && y >= 17 && y <= 27;
    const bool nose = y >= 9 && y <= 10 && x >= 23 && x <= 25;
    if (nose) return {230, 160, 130};
    if (head) {
        if (hx * hx + hy * hy > 26.0) return {0, 0, 0};
        if (x >= 19 && x <= 20 && y >= 7 && y <= 8) return {20, 20, 90};
        return {240, 200, 170};
    }
    if (body) {
        if (bx * bx / 64.0 + by * by / 72.0 > 0.75) return {0, 0, 0};
        return {uint8_t(200 - y * 2), 40, uint8_t(60 + x * 3)};
    }
    if (pack) return {uint8_t(110 + x), uint8_t(70 + y), 30};
    return key;
}

// The level: a wall round the edge, a lake, a sandy shore, a path and fields.
int MapTile(int x, int y) {
    if (x == 0 || y == 0 || x == kMapWidth - 1 || y == kMapHeight - 1) return 6;
    const double lx = (x - 18) / 4.5, ly = (y - 5) / 3.2;
    const double d = lx * lx + ly * ly;
    if (d <= 1.0) return 1;
    if (d <= 1.6) return 2;
    if (y == 12 || x == 6) return 7;
    if (x > 14 && y > 13) return 3;
    if ((x * 7 + y * 3) % 11 == 0) return 5;
    if (x < 5 && y > 14) return 4;
    return 0;
}

uint32_t Crc32(const uint8_t* data, size_t n, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBE32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(v >> s));
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    PutBE32(png, uint32_t(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    PutBE32(png, Crc32(body.data(), body.size()));
}

// An 8-bit RGB PNG whose zlib stream holds stored (uncompressed) blocks.
std::vector<uint8_t> EncodePng(const std::vector<Rgb>& pixels, int w, int h) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);  // filter: none
        for (int x = 0; x < w; ++x) {
            const Rgb& p = pixels[size_t(y) * w + x];
            raw.insert(raw.end(), {p.r, p.g, p.b});
        }
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    for (size_t at = 0; at < raw.size();) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + n == raw.size() ? 1 : 0);  // last block?
        z.insert(z.end(), {uint8_t(n), uint8_t(n >> 8), uint8_t(~n), uint8_t(~n >> 8)});
        z.insert(z.end(), raw.begin() + at, raw.begin() + at + n);
        at += n;
    }
    uint32_t a = 1, b = 0;
    for (uint8_t c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBE32(z, (b << 16) | a);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    PutBE32(ihdr, uint32_t(w));
    PutBE32(ihdr, uint32_t(h));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, adaptive filters, no interlace
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    return png;
}

void PutLE(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// 16-bit mono at 22050 Hz: a 3 kHz tone at half scale with 10 ms ramps.
std::vector<uint8_t> EncodeBlip() {
    const int rate = 22050, frames = rate * 3 / 10, ramp = rate / 100;
    std::vector<uint8_t> data;
    for (int i = 0; i < frames; ++i) {
        double gain = 0.5;
        if (i < ramp) gain *= double(i) / ramp;
        if (frames - 1 - i < ramp) gain *= double(frames - 1 - i) / ramp;
        const double v = gain * std::sin(2.0 * 3.14159265358979323846 * 3000.0 * i / rate);
        PutLE(data, uint32_t(int16_t(std::lround(v * 32767.0))), 2);
    }
    std::vector<uint8_t> wav = {'R', 'I', 'F', 'F'};
    PutLE(wav, uint32_t(36 + data.size()), 4);
    wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLE(wav, 16, 4);
    PutLE(wav, 1, 2);  // PCM
    PutLE(wav, 1, 2);  // mono
    PutLE(wav, rate, 4);
    PutLE(wav, rate * 2, 4);
    PutLE(wav, 2, 2);
    PutLE(wav, 16, 2);
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    PutLE(wav, uint32_t(data.size()), 4);
    wav.insert(wav.end(), data.begin(), data.end());
    return wav;
}

// Format 0, 480 ticks a quarter at 120 beats a minute: eight eighth notes of
// a flute, each ending where the next begins, two seconds in all.
std::vector<uint8_t> EncodeMusic() {
    const int notes[8] = {60, 64, 67, 72, 67, 64, 60, 55};
    std::vector<uint8_t> track = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // tempo 500000 us a quarter
                                  0x00, 0xC0, 73};                              // program: flute
    for (int n : notes) {
        track.insert(track.end(), {0x00, 0x90, uint8_t(n), 100});
        track.insert(track.end(), {0x81, 0x70, 0x80, uint8_t(n), 0});  // 240 ticks later: off
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<uint8_t> mid = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
    PutBE32(mid, uint32_t(track.size()));
    mid.insert(mid.end(), track.begin(), track.end());
    return mid;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "make_tiles_data: cannot write %s\n", path.c_str());
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_tiles_data OUTPUT_DIR\n");
        return 2;
    }
    const std::string out = argv[1];
    for (const char* dir : {"", "/graphics", "/sounds", "/maps"}) mkdir((out + dir).c_str(), 0777);

    std::vector<Rgb> sheet(size_t(kSheetColumns) * kTile * 2 * kTile);
    const int sheetWidth = kSheetColumns * kTile;
    for (int t = 0; t < kTileCount; ++t)
        for (int y = 0; y < kTile; ++y)
            for (int x = 0; x < kTile; ++x)
                sheet[size_t((t / kSheetColumns) * kTile + y) * sheetWidth + (t % kSheetColumns) * kTile + x] =
                    TilePixel(t, x, y);
    std::vector<Rgb> player(size_t(kTile) * kTile);
    for (int y = 0; y < kTile; ++y)
        for (int x = 0; x < kTile; ++x) player[size_t(y) * kTile + x] = PlayerPixel(x, y);

    std::string map;
    for (int y = 0; y < kMapHeight; ++y) {
        for (int x = 0; x < kMapWidth; ++x) map += char('0' + MapTile(x, y));
        map += '\n';
    }

    bool ok = WriteFile(out + "/graphics/tiles.png", EncodePng(sheet, sheetWidth, 2 * kTile));
    ok = WriteFile(out + "/graphics/player.png", EncodePng(player, kTile, kTile)) && ok;
    ok = WriteFile(out + "/maps/level.txt", std::vector<uint8_t>(map.begin(), map.end())) && ok;
    ok = WriteFile(out + "/sounds/blip.wav", EncodeBlip()) && ok;
    ok = WriteFile(out + "/sounds/music.mid", EncodeMusic()) && ok;
    return ok ? 0 : 1;
}
