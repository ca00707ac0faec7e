// Writes the demonstration's data into a folder: graphics/bkgrnd.jpg (an
// 800 x 600 landscape drawn in code) and sounds/water.wav and sounds/bird.wav
// (synthesised). Deterministic, so every build makes the same files.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "DemoPicture.h"

namespace {

const double kPi = 3.14159265358979323846;

struct Rng {
    uint32_t state;
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    double Unit() { return (Next() >> 8) / double(1 << 24) * 2.0 - 1.0; }
};

bool WriteJpeg(const std::string& path, const std::vector<uint8_t>& rgb, int w, int h) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = w;
    cinfo.image_height = h;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 88, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(&rgb[static_cast<size_t>(cinfo.next_scanline) * w * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(f) == 0;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

bool WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate) {
    std::vector<uint8_t> out;
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    Put32(out, 36 + dataBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(out, 16);
    Put16(out, 1);  // PCM
    Put16(out, 1);  // mono
    Put32(out, rate);
    Put32(out, rate * 2);
    Put16(out, 2);
    Put16(out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    Put32(out, dataBytes);
    for (int16_t s : samples) Put16(out, static_cast<uint16_t>(s));
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}

// Running water: low-passed noise with a slow swell, faded at both ends so
// the loop has no click.
std::vector<int16_t> Water(int rate) {
    Rng rng{0x5EED1234u};
    const int n = rate * 3;
    std::vector<int16_t> out(n);
    double lp1 = 0, lp2 = 0;
    for (int i = 0; i < n; ++i) {
        double t = double(i) / rate;
        lp1 += (rng.Unit() - lp1) * 0.18;
        lp2 += (lp1 - lp2) * 0.25;
        double swell = 0.65 + 0.35 * std::sin(2 * kPi * t / 3.0);
        double edge = std::min(1.0, std::min(i, n - 1 - i) / (rate * 0.05));
        out[i] = static_cast<int16_t>(std::lround(lp2 * swell * edge * 52000));
    }
    return out;
}

// Three short rising chirps.
std::vector<int16_t> Bird(int rate) {
    const int n = rate * 3 / 2;
    std::vector<int16_t> out(n, 0);
    for (int c = 0; c < 3; ++c) {
        int start = rate * (c * 30) / 100;
        int len = rate * 12 / 100;
        double phase = 0;
        for (int i = 0; i < len && start + i < n; ++i) {
            double t = double(i) / len;
            double freq = 2600 + 1600 * t + 300 * std::sin(t * 40);
            phase += 2 * kPi * freq / rate;
            double env = std::sin(kPi * t);
            out[start + i] = static_cast<int16_t>(std::lround(std::sin(phase) * env * 14000));
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    mkdir(dir.c_str(), 0755);
    mkdir((dir + "/graphics").c_str(), 0755);
    mkdir((dir + "/sounds").c_str(), 0755);
    const int w = 800, h = 600, rate = 22050;
    bool ok = WriteJpeg(dir + "/graphics/bkgrnd.jpg", demo_data::DrawBackground(w, h), w, h);
    ok = WriteWav(dir + "/sounds/water.wav", Water(rate), rate) && ok;
    ok = WriteWav(dir + "/sounds/bird.wav", Bird(rate), rate) && ok;
    if (!ok) std::fprintf(stderr, "make_demo_data: could not write into %s\n", dir.c_str());
    return ok ? 0 : 1;
}
