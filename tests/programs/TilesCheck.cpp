// Checks what samples/tiles showed and played against its own source files,
// read here with libpng and by hand, never through the engine.
//
//   tiles_check frame GAME_DIR SHOT.ppm LEFT TOP right|left
//     The 800 x 600 window at (LEFT, TOP) of a screenshot: every tile where
//     maps/level.txt says, the player sprite once, facing the given way,
//     with nothing of its magenta key showing, and the bar at the bottom
//     blended onto the map by the weight formula (the destination's share
//     96/256: s + floor(96 (d - s) / 256) per channel) in its own colour or
//     in white where the text is. Prints "sprite X Y". The engine's
//     statistics box at the top left is left out.
//   tiles_check mix CAPTURE.raw BLIP.wav
//     SDL's disk capture (float stereo, 48 kHz): music from the start to the
//     end, longer than its two-second file, so it loops; the blip's tone
//     exactly once, as long as the blip.
// Exit status 0 when everything holds; each fault is printed.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const int kWidth = 800, kHeight = 600, kTile = 32, kMapWidth = 25, kMapHeight = 19;
const int kHudTop = 560;
const int kHudWeight = 96;
const int kPanel[3] = {16, 24, 96};
const int kText[3] = {255, 255, 255};
// The statistics box the engine draws at (5, 2): seven lines of its default
// font, about 150 x 72 pixels; a margin on both sides.
const int kBoxRight = 240, kBoxBottom = 80;

struct Image {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * w + x) * 3]; }
};

bool ReadPng(const std::string& path, Image* out) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    out->w = int(image.width);
    out->h = int(image.height);
    out->rgb.resize(PNG_IMAGE_SIZE(image));
    const bool ok = png_image_finish_read(&image, nullptr, out->rgb.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

// Binary PPM as ImageMagick writes it: P6, width, height, 255 or 65535
// (two bytes a sample, high byte first), then RGB.
bool ReadPpm(const std::string& path, Image* out) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int max = 0;
    in >> magic >> out->w >> out->h >> max;
    if (!in || magic != "P6" || (max != 255 && max != 65535) || out->w <= 0 || out->h <= 0) return false;
    in.get();
    const size_t samples = size_t(out->w) * out->h * 3, bytes = max == 255 ? 1 : 2;
    std::vector<uint8_t> raw(samples * bytes);
    in.read(reinterpret_cast<char*>(raw.data()), std::streamsize(raw.size()));
    out->rgb.resize(samples);
    for (size_t i = 0; i < samples; ++i) out->rgb[i] = raw[i * bytes];
    return bool(in);
}

bool WritePpm(const std::string& path, const Image& image) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", image.w, image.h);
    std::fwrite(image.rgb.data(), 1, image.rgb.size(), f);
    return std::fclose(f) == 0;
}

int Blend(int s, int d) { return s + int(std::floor(kHudWeight * double(d - s) / 256.0)); }

bool Same(const uint8_t* a, const uint8_t* b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }
bool IsKey(const uint8_t* p) { return p[0] == 255 && p[1] == 0 && p[2] == 255; }
bool InBox(int x, int y) { return x < kBoxRight && y < kBoxBottom; }

int CheckFrame(const std::string& dir, const std::string& shotPath, int left, int top, bool facingLeft) {
    Image sheet, player, shot;
    if (!ReadPng(dir + "/graphics/tiles.png", &sheet) || !ReadPng(dir + "/graphics/player.png", &player)) {
        std::fprintf(stderr, "tiles_check: cannot read the game's pictures in %s/graphics\n", dir.c_str());
        return 1;
    }
    if (!ReadPpm(shotPath, &shot) || shot.w < left + kWidth || shot.h < top + kHeight) {
        std::fprintf(stderr, "tiles_check: %s is no screenshot holding the window at %d,%d\n", shotPath.c_str(),
                     left, top);
        return 1;
    }
    int map[kMapHeight][kMapWidth];
    std::ifstream level(dir + "/maps/level.txt");
    std::string row;
    const int columns = sheet.w / kTile;
    for (int y = 0; y < kMapHeight; ++y) {
        if (!std::getline(level, row) || int(row.size()) < kMapWidth) {
            std::fprintf(stderr, "tiles_check: maps/level.txt has no row %d\n", y);
            return 1;
        }
        for (int x = 0; x < kMapWidth; ++x) map[y][x] = row[x] - '0';
    }

    // The map alone, then the bar over it.
    Image expected;
    expected.w = kWidth;
    expected.h = kHeight;
    expected.rgb.resize(size_t(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int t = map[y / kTile][x / kTile];
            const uint8_t* p = sheet.At((t % columns) * kTile + x % kTile, (t / columns) * kTile + y % kTile);
            std::memcpy(&expected.rgb[(size_t(y) * kWidth + x) * 3], p, 3);
        }
    }
    auto screen = [&](int x, int y) { return shot.At(left + x, top + y); };

    // The sprite: the one place and orientation where its own pixels show
    // and the map shows through its key.
    int found = 0, spriteX = -1, spriteY = -1;
    bool spriteLeft = false;
    for (int mirrored = 0; mirrored < 2; ++mirrored) {
        for (int sy = 0; sy + player.h <= kHudTop; ++sy) {
            for (int sx = 0; sx + player.w <= kWidth; ++sx) {
                // The box hides what is under it: the sprite is sought only
                // where it is wholly in sight.
                bool match = sx >= kBoxRight || sy >= kBoxBottom;
                for (int py = 0; py < player.h && match; ++py) {
                    for (int px = 0; px < player.w && match; ++px) {
                        const int x = sx + px, y = sy + py;
                        const uint8_t* s = player.At(mirrored ? player.w - 1 - px : px, py);
                        match = Same(screen(x, y), IsKey(s) ? expected.At(x, y) : s);
                    }
                }
                if (!match) continue;
                ++found;
                spriteX = sx;
                spriteY = sy;
                spriteLeft = mirrored != 0;
            }
        }
    }
    int faults = 0;
    if (found != 1) {
        std::fprintf(stderr, "tiles_check: the player sprite (keyed, either way round) shows %d times, not once\n",
                     found);
        ++faults;
    } else if (spriteLeft != facingLeft) {
        std::fprintf(stderr, "tiles_check: the sprite at %d,%d faces %s, not %s\n", spriteX, spriteY,
                     spriteLeft ? "left" : "right", facingLeft ? "left" : "right");
        ++faults;
    }
    if (found == 1) {
        for (int py = 0; py < player.h; ++py)
            for (int px = 0; px < player.w; ++px) {
                const uint8_t* s = player.At(spriteLeft ? player.w - 1 - px : px, py);
                if (!IsKey(s)) std::memcpy(&expected.rgb[(size_t(spriteY + py) * kWidth + spriteX + px) * 3], s, 3);
            }
    }

    int textPixels = 0, differing = 0, keyPixels = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t* got = screen(x, y);
            if (IsKey(got)) ++keyPixels;
            if (InBox(x, y)) continue;
            uint8_t* want = &expected.rgb[(size_t(y) * kWidth + x) * 3];
            if (y >= kHudTop) {
                const uint8_t panel[3] = {uint8_t(Blend(kPanel[0], want[0])), uint8_t(Blend(kPanel[1], want[1])),
                                          uint8_t(Blend(kPanel[2], want[2]))};
                const uint8_t text[3] = {uint8_t(Blend(kText[0], want[0])), uint8_t(Blend(kText[1], want[1])),
                                         uint8_t(Blend(kText[2], want[2]))};
                // The text sits at the bar's left; the rest is bare bar.
                const bool isText = x < kWidth / 2 && Same(got, text);
                if (isText) ++textPixels;
                std::memcpy(want, isText ? text : panel, 3);
            }
            if (Same(got, want)) continue;
            if (differing++ < 5) {
                std::fprintf(stderr,
                             "tiles_check: pixel %d,%d (map cell %d,%d, tile %d) is %d %d %d, expected %d %d %d\n", x,
                             y, x / kTile, y / kTile, map[y / kTile][x / kTile], got[0], got[1], got[2], want[0],
                             want[1], want[2]);
            }
        }
    }
    if (differing) {
        std::fprintf(stderr, "tiles_check: %d pixels differ from the map, sprite and bar\n", differing);
        ++faults;
    }
    if (keyPixels) {
        std::fprintf(stderr, "tiles_check: %d pixels of the key colour (magenta) are on screen\n", keyPixels);
        ++faults;
    }
    if (textPixels < 50) {
        std::fprintf(stderr, "tiles_check: the bar shows no text (%d text pixels)\n", textPixels);
        ++faults;
    }
    if (faults) {
        const std::string out = shotPath + ".expected.ppm";
        if (WritePpm(out, expected)) std::fprintf(stderr, "tiles_check: expected frame written to %s\n", out.c_str());
        return 1;
    }
    std::printf("sprite %d %d\n", spriteX, spriteY);
    return 0;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* out) {
    std::ifstream in(path, std::ios::binary);
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return bool(in) || in.eof();
}

uint32_t Le(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

int CheckMix(const std::string& capturePath, const std::string& blipPath) {
    // The blip: 16-bit mono PCM; its tone from its zero crossings, its
    // length from its frames.
    std::vector<uint8_t> wav;
    if (!ReadFile(blipPath, &wav) || wav.size() < 44 || std::memcmp(wav.data(), "RIFF", 4) != 0 ||
        Le(&wav[22], 2) != 1 || Le(&wav[34], 2) != 16) {
        std::fprintf(stderr, "tiles_check: %s is not the 16-bit mono blip\n", blipPath.c_str());
        return 1;
    }
    const double blipRate = Le(&wav[24], 4);
    const size_t blipFrames = Le(&wav[40], 4) / 2;
    int crossings = 0;
    for (size_t i = 1; i < blipFrames && 44 + 2 * i + 1 < wav.size(); ++i) {
        const int16_t a = int16_t(Le(&wav[44 + 2 * (i - 1)], 2)), b = int16_t(Le(&wav[44 + 2 * i], 2));
        if ((a < 0) != (b < 0)) ++crossings;
    }
    const double blipSeconds = blipFrames / blipRate;
    const double tone = crossings / 2.0 / blipSeconds;

    std::vector<uint8_t> raw;
    if (!ReadFile(capturePath, &raw) || raw.size() < 8 * 48000) {
        std::fprintf(stderr, "tiles_check: %s holds less than a second of sound\n", capturePath.c_str());
        return 1;
    }
    const size_t frames = raw.size() / 8;
    std::vector<float> mono(frames);
    for (size_t i = 0; i < frames; ++i) {
        float lr[2];
        std::memcpy(lr, &raw[i * 8], 8);
        mono[i] = 0.5f * (lr[0] + lr[1]);
    }

    // 20 ms windows: loudness, and how much of it is the blip's tone.
    const int n = 960;
    const size_t windows = frames / n;
    std::vector<bool> sounding(windows), blip(windows);
    const double w = 2.0 * 3.14159265358979323846 * tone / 48000.0;
    for (size_t k = 0; k < windows; ++k) {
        double s1 = 0, s2 = 0, energy = 0;
        for (int i = 0; i < n; ++i) {
            const double x = mono[k * n + i];
            energy += x * x;
            const double s0 = x + 2.0 * std::cos(w) * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - 2.0 * std::cos(w) * s1 * s2;
        const double amplitude = 2.0 * std::sqrt(power) / n;
        const double meanSquare = energy / n;
        sounding[k] = meanSquare > 0.002 * 0.002;
        blip[k] = amplitude > 0.02 && amplitude * amplitude / 2.0 > 0.5 * meanSquare;
    }

    int faults = 0;
    int runs = 0, longest = 0;
    for (size_t k = 0; k < windows;) {
        if (!blip[k]) {
            ++k;
            continue;
        }
        size_t end = k;
        while (end < windows && blip[end]) ++end;
        ++runs;
        longest = std::max(longest, int(end - k));
        k = end;
    }
    const int blipWindows = int(std::lround(blipSeconds * 1000.0 / 20.0));
    if (runs != 1 || longest < blipWindows - 3 || longest > blipWindows + 2) {
        std::fprintf(stderr,
                     "tiles_check: the blip's %.0f Hz tone is heard %d times, longest %d ms; expected once for "
                     "about %.0f ms\n",
                     tone, runs, longest * 20, blipSeconds * 1000.0);
        ++faults;
    }
    size_t first = windows, last = 0, quiet = 0, span = 0;
    for (size_t k = 0; k < windows; ++k)
        if (sounding[k]) {
            if (first == windows) first = k;
            last = k;
        }
    // Music from its first sound to the end of the capture, gaps of a
    // window or two between notes aside.
    for (size_t k = first + 25; k + 5 < windows && first < windows; ++k, ++span)
        if (!sounding[k]) ++quiet;
    const double heard = (last - first + 1) * 0.02;
    if (first == windows || heard < 4.0 || last + 10 < windows || quiet * 10 > span) {
        std::fprintf(stderr,
                     "tiles_check: the music is heard for %.2f s of a %.2f s capture, %zu of %zu windows quiet; "
                     "it should play to the end, looping its 2 s\n",
                     first == windows ? 0.0 : heard, windows * 0.02, quiet, span);
        ++faults;
    }
    if (faults) return 1;
    std::printf("mix: %.2f s of music, one %.0f Hz blip of %d ms\n", heard, tone, longest * 20);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 7 && std::strcmp(argv[1], "frame") == 0)
        return CheckFrame(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]), std::strcmp(argv[6], "left") == 0);
    if (argc == 4 && std::strcmp(argv[1], "mix") == 0) return CheckMix(argv[2], argv[3]);
    std::fprintf(stderr, "usage: tiles_check frame GAME_DIR SHOT.ppm LEFT TOP right|left\n"
                         "       tiles_check mix CAPTURE.raw BLIP.wav\n");
    return 2;
}
