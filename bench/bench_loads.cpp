// Pictures loaded the way a game loads them, beside SDL_image and beside the
// decoders alone.
//
// The files are shaped like a game's and made by ImageMagick at run time in
// a temporary folder: photo JPEGs, 512 x 512 sprite sheets (PNG RGBA, RGB,
// palette, palette with tRNS; 8-bit BMP; 32-bit RLE TGA; 8-bit PCX) and
// 800 x 600 backgrounds (24-bit BMP, TGA, PCX; PNG RGB). For each desktop
// pixel kind (15, 16, 24, 32; a child process each) the engine, started as a
// game starts it, loads each file with CQNDXSurface::Load by name and with
// LoadFromMemory, beside:
//   - SDL_image: IMG_Load of the same file + SDL_ConvertSurfaceFormat to the
//     display's format, both freed each round;
//   - the decoder alone (JPEG, PNG): TurboJPEG decoding straight into the
//     target layout (libjpeg-turbo's RGB565 output for 16 bits, BGRX plus
//     one conversion for 15), or libpng rows plus one conversion per row.
// Rounds alternate between the sides (the order rotating each repetition);
// each figure is the median of its rounds; ratio = the other side's time /
// the engine's by-name time (higher is better for the engine). Before timing,
// the engine's pixels are compared with SDL_image's.
//
//   bench_loads [--reps=N] [--round-ms=M] [--only=SUBSTRING]
#include <sys/wait.h>
#include <unistd.h>

#include <SDL.h>
#include <SDL_image.h>
#include <png.h>
#include <turbojpeg.h>

#include <jpeglib.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"
#include "calls/Rounds.h"
#include "calls/Scene.h"
#include "platform/sim/Kernel.h"

namespace qb = qndx::bench;

namespace {

struct Options {
    int reps = 21;
    double roundSeconds = 0.05;
    std::string only;
};

enum class Decoder { None, Jpeg, Png };

struct FileCase {
    const char* name;   // in the graphics folder
    const char* label;  // for the table
    Decoder decoder;
};

const FileCase kFiles[] = {
    {"photo1080.jpg", "JPEG 1920x1080 photo", Decoder::Jpeg},
    {"photo600.jpg", "JPEG 800x600 photo", Decoder::Jpeg},
    {"sheet_rgba.png", "PNG 512x512 RGBA sheet", Decoder::Png},
    {"sheet_rgb.png", "PNG 512x512 RGB sheet", Decoder::Png},
    {"sheet_pal.png", "PNG 512x512 palette sheet", Decoder::Png},
    {"sheet_trns.png", "PNG 512x512 palette+tRNS", Decoder::Png},
    {"sheet8.bmp", "BMP 512x512 8-bit sheet", Decoder::None},
    {"sheet32.tga", "TGA 512x512 32-bit RLE", Decoder::None},
    {"sheet8.pcx", "PCX 512x512 8-bit sheet", Decoder::None},
    {"back24.bmp", "BMP 800x600 24-bit", Decoder::None},
    {"back24.tga", "TGA 800x600 24-bit", Decoder::None},
    {"back24.pcx", "PCX 800x600 24-bit", Decoder::None},
    {"back.png", "PNG 800x600 RGB", Decoder::Png},
};
const int kBpps[] = {32, 16, 24, 15};

std::string Quote(const std::string& s) { return "'" + s + "'"; }

bool Shell(const std::string& cmd) {
    if (std::system(cmd.c_str()) == 0) return true;
    std::fprintf(stderr, "bench_loads: failed: %s\n", cmd.c_str());
    return false;
}

// The TGA decoder recognises files by the 2.0 footer; ImageMagick may leave it out.
bool EnsureTgaFooter(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back((uint8_t)c);
    std::fclose(f);
    static const char kSig[] = "TRUEVISION-XFILE.";
    if (bytes.size() >= 18 && std::memcmp(&bytes[bytes.size() - 18], kSig, 18) == 0) return true;
    f = std::fopen(path.c_str(), "ab");
    if (!f) return false;
    const uint8_t zeros[8] = {};
    std::fwrite(zeros, 1, 8, f);
    std::fwrite(kSig, 1, 18, f);
    return std::fclose(f) == 0;
}

bool MakeFiles(const std::string& dir) {
    const std::string g = dir + "/graphics/";
    std::filesystem::create_directories(g);
    // Sprites: 8 x 8 discs of a plasma texture on a 512 x 512 sheet.
    std::string discs;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            discs += " circle " + std::to_string(32 + 64 * x) + "," + std::to_string(32 + 64 * y) + " " +
                     std::to_string(32 + 64 * x) + "," + std::to_string(5 + 64 * y);
    const std::string sheet = "convert -size 512x512 -seed 5 plasma:fractal \\( -size 512x512 xc:black -fill white "
                              "-draw " + Quote(discs) + " \\) -alpha off -compose CopyOpacity -composite ";
    const std::string flat = " -background magenta -alpha remove -alpha off ";
    const std::string back = "convert -size 800x600 -seed 9 plasma:fractal -blur 0x0.7 ";
    const bool ok =
        Shell("convert -size 1920x1080 -seed 11 plasma:fractal -blur 0x1 -sampling-factor 2x2 -quality 88 " +
              Quote(g + "photo1080.jpg")) &&
        Shell("convert -size 800x600 -seed 12 plasma:fractal -blur 0x1 -sampling-factor 2x2 -quality 88 " +
              Quote(g + "photo600.jpg")) &&
        Shell(sheet + Quote("PNG32:" + g + "sheet_rgba.png")) &&
        Shell(sheet + flat + Quote("PNG24:" + g + "sheet_rgb.png")) &&
        Shell(sheet + flat + "-colors 255 " + Quote("PNG8:" + g + "sheet_pal.png")) &&
        Shell(sheet + "-colors 255 " + Quote("PNG8:" + g + "sheet_trns.png")) &&
        Shell(sheet + flat + "-colors 256 -type Palette " + Quote("BMP3:" + g + "sheet8.bmp")) &&
        Shell(sheet + "-compress RLE -type TrueColorAlpha " + Quote(g + "sheet32.tga")) &&
        Shell(sheet + flat + "-colors 256 -type Palette " + Quote(g + "sheet8.pcx")) &&
        Shell(back + "-type TrueColor " + Quote("BMP3:" + g + "back24.bmp")) &&
        Shell(back + "-type TrueColor -compress None " + Quote(g + "back24.tga")) &&
        Shell(back + "-type TrueColor " + Quote(g + "back24.pcx")) &&
        Shell(back + Quote("PNG24:" + g + "back.png"));
    return ok && EnsureTgaFooter(g + "sheet32.tga") && EnsureTgaFooter(g + "back24.tga");
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    std::fseek(f, 0, SEEK_END);
    bytes.resize((size_t)std::ftell(f));
    std::fseek(f, 0, SEEK_SET);
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
    std::fclose(f);
    return bytes;
}

// ------------------------------------------------------------ decoders alone

int BytesOf(int bpp) { return bpp == 15 ? 2 : bpp / 8; }

// A target of the display's layout, allocated (not cleared) each round.
uint8_t* NewTarget(int w, int h, int bpp, int* pitch) {
    *pitch = (w * BytesOf(bpp) + 3) & ~3;
    return static_cast<uint8_t*>(std::malloc((size_t)*pitch * h));
}

struct JpegAlone {
    tjhandle tj = tjInitDecompress();
    ~JpegAlone() { tjDestroy(tj); }

    bool Decode(const std::vector<uint8_t>& file, int bpp) {
        int w = 0, h = 0, sub = 0, cs = 0;
        if (tjDecompressHeader3(tj, file.data(), (unsigned long)file.size(), &w, &h, &sub, &cs) != 0) return false;
        int pitch = 0;
        uint8_t* out = NewTarget(w, h, bpp, &pitch);
        bool ok = true;
        if (bpp == 16) {
            ok = Decode565(file, out, pitch);
        } else if (bpp == 15) {
            std::vector<uint8_t> row((size_t)w * 4 * h);
            ok = tjDecompress2(tj, file.data(), (unsigned long)file.size(), row.data(), w, w * 4, h, TJPF_BGRX,
                               0) == 0 &&
                 SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_XRGB8888, row.data(), w * 4, SDL_PIXELFORMAT_RGB555, out,
                                   pitch) == 0;
        } else {
            ok = tjDecompress2(tj, file.data(), (unsigned long)file.size(), out, w, pitch, h,
                               bpp == 32 ? TJPF_BGRX : TJPF_BGR, 0) == 0;
        }
        std::free(out);
        return ok;
    }

    // TurboJPEG has no 5-6-5 layout; libjpeg-turbo's own API has.
    static bool Decode565(const std::vector<uint8_t>& file, uint8_t* out, int pitch) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, file.data(), (unsigned long)file.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_RGB565;
        cinfo.dither_mode = JDITHER_NONE;
        jpeg_start_decompress(&cinfo);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = out + (size_t)cinfo.output_scanline * pitch;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        return true;
    }
};

struct PngReader {
    const uint8_t* pos;
    const uint8_t* end;
};

void PngRead(png_structp png, png_bytep out, png_size_t n) {
    PngReader* r = static_cast<PngReader*>(png_get_io_ptr(png));
    if ((size_t)(r->end - r->pos) < n) png_error(png, "short");
    std::memcpy(out, r->pos, n);
    r->pos += n;
}

// libpng rows as BGRA (or straight into a 32-bit target), then one
// conversion per row into the display's layout.
bool PngAlone(const std::vector<uint8_t>& file, int bpp) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    uint8_t* out = nullptr;
    std::vector<uint8_t> row;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::free(out);
        return false;
    }
    PngReader reader = {file.data(), file.data() + file.size()};
    png_set_read_fn(png, &reader, PngRead);
    png_read_info(png, info);
    const int w = (int)png_get_image_width(png, info), h = (int)png_get_image_height(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    int pitch = 0;
    out = NewTarget(w, h, bpp, &pitch);
    if (bpp != 32) row.resize((size_t)w * 4);
    const Uint32 format = qb::SdlFormatOf(bpp);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < h; ++y) {
            uint8_t* dst = out + (size_t)y * pitch;
            if (bpp == 32) {
                png_read_row(png, dst, nullptr);
            } else {
                png_read_row(png, row.data(), nullptr);
                SDL_ConvertPixels(w, 1, SDL_PIXELFORMAT_ARGB8888, row.data(), w * 4, format, dst, pitch);
            }
        }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::free(out);
    return true;
}

// ------------------------------------------------------------------ checks

// Engine pixels against SDL_image's converted surface: the channels only
// (the 32-bit top byte and the 15-bit top bit are outside them).
std::string ComparePixels(CQNDXSurface* s, SDL_Surface* sdl, int bpp) {
    if (s->GetWidth() != sdl->w || s->GetHeight() != sdl->h)
        return "sizes differ: " + std::to_string(s->GetWidth()) + "x" + std::to_string(s->GetHeight()) + " vs " +
               std::to_string(sdl->w) + "x" + std::to_string(sdl->h);
    SDL_Surface* copy = qb::CopyToSdl(s, qb::SdlFormatOf(bpp));
    if (!copy) return "cannot read the surface";
    long differ = 0;
    const int bytes = BytesOf(bpp);
    for (int y = 0; y < sdl->h; ++y) {
        const uint8_t* a = static_cast<const uint8_t*>(copy->pixels) + (size_t)y * copy->pitch;
        const uint8_t* b = static_cast<const uint8_t*>(sdl->pixels) + (size_t)y * sdl->pitch;
        for (int x = 0; x < sdl->w; ++x, a += bytes, b += bytes) {
            uint32_t pa = 0, pb = 0;
            std::memcpy(&pa, a, (size_t)bytes);
            std::memcpy(&pb, b, (size_t)bytes);
            const uint32_t mask = bpp == 32 ? 0xFFFFFFu : bpp == 15 ? 0x7FFFu : 0xFFFFFFFFu;
            if ((pa & mask) != (pb & mask)) ++differ;
        }
    }
    SDL_FreeSurface(copy);
    return differ == 0 ? "same" : std::to_string(differ) + " px differ";
}

// ------------------------------------------------------------------ rounds

double TimeRound(const std::function<bool()>& f, long calls, bool* ok) {
    const auto t0 = std::chrono::steady_clock::now();
    for (long i = 0; i < calls; ++i) *ok = f() && *ok;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / calls;
}

// Medians of the sides' rounds, alternating with the order rotating.
std::vector<double> Race(const std::vector<std::function<bool()>>& sides, const Options& opt, bool* ok) {
    std::vector<long> calls;
    for (const auto& f : sides) {
        auto g = f;
        calls.push_back(qb::CallsPerRound(g, opt.roundSeconds, qb::Clock::Wall));
    }
    std::vector<std::vector<double>> t(sides.size());
    for (int r = 0; r < opt.reps; ++r)
        for (size_t k = 0; k < sides.size(); ++k) {
            const size_t i = (k + (size_t)r) % sides.size();
            t[i].push_back(TimeRound(sides[i], calls[i], ok));
        }
    std::vector<double> m;
    for (const auto& v : t) m.push_back(qb::Median(v));
    return m;
}

int RunKind(int bpp, const std::string& dir, const Options& opt) {
    std::string why;
    CQNDXVideoEngine* ve = qb::StartEngine(&why);
    if (!ve) {
        std::fprintf(stderr, "bench_loads: %s\n", why.c_str());
        return 1;
    }
    JpegAlone jpeg;
    bool allOk = true;
    for (const FileCase& fc : kFiles) {
        if (!opt.only.empty() && std::string(fc.label).find(opt.only) == std::string::npos) continue;
        const std::string path = dir + "/graphics/" + fc.name;
        const std::vector<uint8_t> bytes = ReadAll(path);
        const Uint32 format = qb::SdlFormatOf(bpp);
        bool ok = true;
        auto byName = [&] {
            CQNDXSurface s;
            return s.Load(ve, fc.name, 0) == 1;
        };
        auto fromMemory = [&] {
            CQNDXSurface s;
            return s.LoadFromMemory(ve, (int)bytes.size(), bytes.data(), 0) == 1;
        };
        auto sdl = [&] {
            SDL_Surface* img = IMG_Load(path.c_str());
            if (!img) return false;
            SDL_Surface* conv = SDL_ConvertSurfaceFormat(img, format, 0);
            SDL_FreeSurface(img);
            if (!conv) return false;
            SDL_FreeSurface(conv);
            return true;
        };
        auto alone = [&] { return fc.decoder == Decoder::Jpeg ? jpeg.Decode(bytes, bpp) : PngAlone(bytes, bpp); };

        std::string pixels = "no check";
        {
            CQNDXSurface s;
            SDL_Surface* img = IMG_Load(path.c_str());
            SDL_Surface* conv = img ? SDL_ConvertSurfaceFormat(img, format, 0) : nullptr;
            if (s.Load(ve, fc.name, 0) != 1) pixels = "engine refused it";
            else if (!conv) pixels = std::string("SDL_image refused it: ") + IMG_GetError();
            else pixels = ComparePixels(&s, conv, bpp);
            if (img) SDL_FreeSurface(img);
            if (conv) SDL_FreeSurface(conv);
        }
        std::vector<std::function<bool()>> sides = {byName, fromMemory, sdl};
        if (fc.decoder != Decoder::None) sides.push_back(alone);
        const std::vector<double> m = Race(sides, opt, &ok);
        char decoder[64] = "-";
        if (m.size() > 3) std::snprintf(decoder, sizeof decoder, "%8.3f %6.2f", m[3] * 1e3, m[3] / m[0]);
        std::printf("%-27s %3d %7zu KB %8.3f %8.3f %8.3f %6.2f %15s  %s%s\n", fc.label, bpp, bytes.size() / 1024,
                    m[0] * 1e3, m[1] * 1e3, m[2] * 1e3, m[2] / m[0], decoder, pixels.c_str(), ok ? "" : "  FAILED");
        std::fflush(stdout);
        allOk = allOk && ok;
    }
    return allOk ? 0 : 1;
}

bool ParseOptions(int argc, char** argv, Options* opt) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--reps=", 7) == 0) {
            opt->reps = std::atoi(argv[i] + 7);
        } else if (std::strncmp(argv[i], "--round-ms=", 11) == 0) {
            opt->roundSeconds = std::atof(argv[i] + 11) / 1000.0;
        } else if (std::strncmp(argv[i], "--only=", 7) == 0) {
            opt->only = argv[i] + 7;
        } else {
            std::fprintf(stderr, "usage: bench_loads [--reps=N (at least 3)] [--round-ms=M] [--only=TEXT]\n");
            return false;
        }
    }
    return opt->reps >= 3 && opt->roundSeconds > 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!ParseOptions(argc, argv, &opt)) return 2;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qndx-loads-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("bench_loads: temporary folder");
        return 1;
    }
    const std::string dir = pattern;
    bool ok = MakeFiles(dir);
    if (ok) {
        std::printf("Loads (ms per load, medians of %d alternating rounds); ratio = other / engine by name\n\n",
                    opt.reps);
        std::printf("%-27s %3s %10s %8s %8s %8s %6s %15s  %s\n", "file", "bpp", "size", "by name", "memory",
                    "SDL_img", "ratio", "decoder  ratio", "pixels vs SDL_image");
    }
    for (int bpp : kBpps) {
        if (!ok) break;
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid < 0) {
            ok = false;
            break;
        }
        if (pid == 0) {
            setenv("SDL_VIDEODRIVER", "dummy", 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            setenv("QNDX_DESKTOP_BPP", std::to_string(bpp).c_str(), 1);
            if (chdir(dir.c_str()) != 0) std::_Exit(2);
            const std::string line = "\"" + dir + "/bench_loads.exe\"";
            qndx::sim::SetCommandLine(line.c_str());
            std::exit(RunKind(bpp, dir, opt));
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "bench_loads: the %d bpp run failed\n", bpp);
            ok = false;
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return ok ? 0 : 1;
}
