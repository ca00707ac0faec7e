// The loader front end: detection by content and its priority order, type
// codes given and written back, names under the program's graphics
// directory, file objects and streams, and the loads a surface makes.
// Scenarios that need a game manager run in a child process each, since the
// manager lives once per process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "GameManager.h"
#include "GraphicEngine/ImageLoader/ImageLoader.h"
#include "GraphicEngine/Surface.h"
#include "GraphicEngine/VideoEngine.h"
#include "LogEngine/Log.h"
#include "SystemMessager.h"
#include "Util/File.h"
#include "engine/decoders/DecoderFiles.h"
#include "engine/images/LoaderTestSupport.h"
#include "platform/Kernel.h"
#include "platform/sim/Display.h"
#include "platform/sim/Kernel.h"
#include "platform/sim/Sim.h"
#include "support/TempDir.h"

namespace {

namespace ti = qndx::testimg;
namespace fs = std::filesystem;

std::vector<uint8_t> PngHead() {
    std::vector<uint8_t> v = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    v.resize(100, 0x11);
    return v;
}

std::vector<uint8_t> WithTgaFooter(std::vector<uint8_t> v, uint8_t depth) {
    if (v.size() < 17) v.resize(17, 0);
    v[16] = depth;
    const char footer[] = "TRUEVISION-XFILE.";
    v.insert(v.end(), 8, 0);  // extension and developer offsets
    v.insert(v.end(), footer, footer + 18);
    return v;
}

std::vector<uint8_t> TgaFile(uint8_t depth = 24) {
    std::vector<uint8_t> v(18 + 12, 0);
    v[2] = 2;
    v[12] = 2;
    v[14] = 2;
    return WithTgaFooter(v, depth);
}

std::vector<uint8_t> PcxHead() {
    std::vector<uint8_t> v(128, 0);
    v[0] = 10;
    v[1] = 5;
    v[2] = 1;
    v[3] = 8;
    return v;
}

std::vector<uint8_t> Junk(size_t n) {
    std::vector<uint8_t> v(n);
    ti::Lcg rng(99);
    for (auto& b : v) b = (uint8_t)(rng.Next() | 1);  // never 0x00: no accidental signature
    v[0] = 0x20;
    return v;
}

ti::JpegOptions ExifOptions() {
    ti::JpegOptions o;
    o.exif = true;
    return o;
}

int Detect(const std::vector<uint8_t>& v) {
    ti::ExactCopy data(v);
    CQNDXImageLoader loader;
    return loader.DetectFormat(data.Size(), data.Data());
}

TEST(ImageLoaderDetection, EachTypeIsRecognisedByContent) {
    EXPECT_EQ(QNDX_IMAGE_PNG, Detect(PngHead()));
    EXPECT_EQ(QNDX_IMAGE_BMP, Detect(ti::WriteBmpRgb(ti::Pattern(3, 3), 24)));
    EXPECT_EQ(QNDX_IMAGE_JPEG, Detect(ti::EncodeJpeg(ti::Smooth(8, 8))));
    EXPECT_EQ(QNDX_IMAGE_TGA, Detect(TgaFile()));
    EXPECT_EQ(QNDX_IMAGE_PCX, Detect(PcxHead()));
    EXPECT_EQ(QNDX_IMAGE_UNKNOWN, Detect(Junk(300)));
}

TEST(ImageLoaderDetection, PriorityIsPngBmpJpegTgaPcx) {
    // Every head below also ends with a TGA footer of a valid depth.
    std::vector<uint8_t> png = WithTgaFooter(PngHead(), 8);
    png[16] = 8;
    EXPECT_EQ(QNDX_IMAGE_PNG, Detect(png));
    EXPECT_EQ(QNDX_IMAGE_BMP, Detect(WithTgaFooter(ti::WriteBmpRgb(ti::Pattern(3, 3), 24), 24)));
    std::vector<uint8_t> jpeg = ti::EncodeJpeg(ti::Smooth(8, 8));
    std::vector<uint8_t> jpegTga = jpeg;
    jpegTga.insert(jpegTga.end(), 30, 0);
    jpegTga = WithTgaFooter(jpegTga, jpeg[16]);  // keep byte 16 as it is
    if (jpeg[16] == 8 || jpeg[16] == 16 || jpeg[16] == 24 || jpeg[16] == 32) {
        EXPECT_EQ(QNDX_IMAGE_JPEG, Detect(jpegTga));
    }
    EXPECT_EQ(QNDX_IMAGE_TGA, Detect(WithTgaFooter(PcxHead(), 16)));
}

TEST(ImageLoaderDetection, NearMissesAreNotRecognised) {
    EXPECT_EQ(QNDX_IMAGE_UNKNOWN, Detect(ti::EncodeJpeg(ti::Smooth(8, 8), ExifOptions())));
    std::vector<uint8_t> tga = TgaFile();
    std::vector<uint8_t> noFooter(tga.begin(), tga.end() - 18);
    EXPECT_EQ(QNDX_IMAGE_UNKNOWN, Detect(noFooter));
    EXPECT_EQ(QNDX_IMAGE_UNKNOWN, Detect(TgaFile(12)));  // depth 12 does not exist
    std::vector<uint8_t> pcx = PcxHead();
    pcx[1] = 4;
    EXPECT_EQ(QNDX_IMAGE_UNKNOWN, Detect(pcx));
    std::vector<uint8_t> png = PngHead();
    png[7] = 0;
    EXPECT_EQ(QNDX_IMAGE_UNKNOWN, Detect(png));
}

TEST(ImageLoaderDetection, DataShorterThanTheHeadOrTailIsReadWithinItsSize) {
    // Each prefix of each signature, in a block of exactly its size.
    std::vector<std::vector<uint8_t>> files = {PngHead(), ti::WriteBmpRgb(ti::Pattern(2, 2), 24),
                                               ti::EncodeJpeg(ti::Smooth(4, 4)), TgaFile(), PcxHead()};
    for (const auto& f : files)
        for (size_t n = 0; n <= f.size() && n <= 300; ++n) {
            std::vector<uint8_t> prefix(f.begin(), f.begin() + n);
            Detect(prefix);
        }
    EXPECT_EQ(QNDX_IMAGE_BMP, Detect({'B', 'M'}));
    EXPECT_EQ(QNDX_IMAGE_UNKNOWN, Detect({'B'}));
    EXPECT_EQ(QNDX_IMAGE_PCX, Detect({10, 5, 1}));
    EXPECT_EQ(QNDX_IMAGE_UNKNOWN, Detect({10, 5}));
    std::vector<uint8_t> png = PngHead();
    EXPECT_EQ(QNDX_IMAGE_PNG, Detect(std::vector<uint8_t>(png.begin(), png.begin() + 8)));
    EXPECT_EQ(QNDX_IMAGE_UNKNOWN, Detect(std::vector<uint8_t>(png.begin(), png.begin() + 7)));
    CQNDXImageLoader loader;
    EXPECT_EQ(QNDX_IMAGE_UNKNOWN, loader.DetectFormat(0, nullptr));
    EXPECT_EQ(QNDX_IMAGE_UNKNOWN, loader.DetectFormat(100, nullptr));
}

TEST(ImageLoaderDetection, HasPathLooksForABackslashOnly) {
    CQNDXImageLoader loader;
    EXPECT_EQ(1, loader.HasPath(".\\graphics\\a.bmp"));
    EXPECT_EQ(1, loader.HasPath("a\\"));
    EXPECT_EQ(0, loader.HasPath("graphics/a.bmp"));
    EXPECT_EQ(0, loader.HasPath("a.bmp"));
    EXPECT_EQ(0, loader.HasPath(nullptr));
}

TEST(ImageLoaderWithoutManager, EveryLoadGivesNullAndAnErrorLine) {
    ASSERT_EQ(0, CQNDXGameManager::IsCreated());
    std::vector<uint8_t> bmp = ti::WriteBmpRgb(ti::Pattern(2, 2), 24);
    CQNDXImageLoader loader;
    int type = 0;
    {
        ti::ErrorLines errors;
        EXPECT_EQ(nullptr, loader.LoadFromBuffer((unsigned)bmp.size(), bmp.data(), &type));
        EXPECT_EQ(1u, errors.Take().size());
    }
    {
        ti::ErrorLines errors;
        EXPECT_EQ(nullptr, loader.LoadFromMemory((unsigned)bmp.size(), bmp.data(), &type));
        EXPECT_EQ(1u, errors.Take().size());
    }
    {
        ti::ErrorLines errors;
        EXPECT_EQ(nullptr, loader.LoadFromFile("a.bmp", &type));
        EXPECT_EQ(1u, errors.Take().size());
    }
    {
        CQNDXFile file;
        ti::ErrorLines errors;
        EXPECT_EQ(nullptr, loader.LoadFromFileObject(0, &file, &type));
        EXPECT_EQ(1u, errors.Take().size());
    }
    {
        ti::ErrorLines errors;
        EXPECT_EQ(nullptr, loader.LoadFromStream(0, stdin, &type));
        EXPECT_EQ(1u, errors.Take().size());
    }
    EXPECT_EQ(0, type);  // nothing was chosen
}

// ---------------------------------------------------------------------------
// Scenarios with a game manager, one child process each.

class CaptureLog : public CQNDXLog {
public:
    std::vector<std::pair<int, std::string>> lines;
    int OnMessage(const char* msg, int type, int level) override {
        lines.emplace_back(type, std::to_string(level) + " " + msg);
        return 0;
    }
    int Errors() const {
        int n = 0;
        for (const auto& l : lines) n += l.first == 4;
        return n;
    }
    bool Has(int type, const std::string& text) const { return Count(type, text) > 0; }
    int Count(int type, const std::string& text) const {
        int n = 0;
        for (const auto& l : lines) n += l.first == type && l.second == text;
        return n;
    }
};

// Failures found in the child, printed to its standard error.
struct Checks {
    std::string failures;
    void operator()(bool ok, const std::string& what) {
        if (!ok) failures += "FAILED: " + what + "\n";
    }
};

struct Scene {
    CQNDXGameManager* manager;
    CaptureLog* log;
    Checks* check;
};

// A program directory with a graphics directory holding the test files.
class ProgramDir {
public:
    ProgramDir() {
        fs::create_directories(m_dir / "graphics");
        Write("graphics/pic.bmp", ti::WriteBmpRgb(Picture(), 24));
        Write("graphics/pic.jpg", ti::EncodeJpeg(ti::Smooth(20, 10)));
        Write("graphics/exif.jpg", ti::EncodeJpeg(ti::Smooth(20, 10), ExifOptions()));
        Write("graphics/empty.bmp", {});
        Write("graphics/big.bmp", ti::WriteBmpRgb(BigPicture(), 24));
    }
    const std::string& Path() const { return m_dir.path(); }
    static ti::Image Picture() { return ti::Pattern(13, 7, 21); }
    static ti::Image BigPicture() { return ti::Pattern(400, 300, 22); }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream out(m_dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
    }

private:
    qndx::test::TempDir m_dir{"qndx-images"};
};

// The child's side: starts the manager (in `workDir` when given: a program
// without a directory makes its folders in the current one), runs the body,
// exits with 0 when every check held (the failures go to standard error).
template <class Body>
void ChildMain(int bpp, const std::string& commandLine, Body body, const std::string& workDir) {
    if (!workDir.empty() && chdir(workDir.c_str()) != 0) {
        std::fputs("cannot enter the work directory\n", stderr);
        std::_Exit(1);
    }
    qndx::sim::SetDesktop(1024, 768, (DWORD)bpp);
    qndx::sim::SetCommandLine(commandLine.c_str());
    CQNDXGameManager* manager = CQNDXGameManager::Create();
    CaptureLog log;
    Checks check;
    check(manager && manager->GetVideoEngine(), "the manager starts with a video engine");
    if (manager && manager->GetVideoEngine()) {
        // Games load their images once the display exists; the windowed
        // display's cooperative level is what surface creation needs.
        IDirectDraw7* dd = manager->GetVideoEngine()->GetDirectDraw();
        check(dd && dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL) == DD_OK, "windowed cooperative level");
        manager->GetMessenger()->Register(&log, 1, 1, 1, 1);
        Scene scene{manager, &log, &check};
        body(scene);
        manager->GetMessenger()->Unregister(&log);
    }
    if (!check.failures.empty())
        for (const auto& line : log.lines) check.failures += "log " + std::to_string(line.first) + ": " + line.second + "\n";
    std::fputs(check.failures.c_str(), stderr);
    std::fflush(stderr);
    std::_Exit(check.failures.empty() ? 0 : 1);
}

template <class Body>
void RunWithManager(int bpp, const std::string& commandLine, Body body, const std::string& workDir = "") {
    EXPECT_EXIT(ChildMain(bpp, commandLine, body, workDir), ::testing::ExitedWithCode(0), "");
}

std::string ProgramLine(const ProgramDir& dir) { return "\"" + dir.Path() + "/game.exe\""; }

bool Matches(IDirectDrawSurface7* s, const ti::Image& want) {
    ti::SurfacePixels px = ti::ReadSurface(s);
    if (px.width != want.width || px.height != want.height) return false;
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x)
            if (px.At(x, y) != ti::NativeOf(px.bpp, want.At(x, y))) return false;
    return true;
}

TEST(ImageLoaderWithManager, NamesResolveUnderTheProgramsGraphicsDirectoryInEveryKind) {
    ProgramDir dir;
    for (int bpp : ti::kSurfaceKinds) {
        SCOPED_TRACE(bpp);
        RunWithManager(bpp, ProgramLine(dir), [](Scene& s) {
            Checks& check = *s.check;
            CQNDXImageLoader loader;
            int type = 0;
            IDirectDrawSurface7* bmp = loader.LoadFromFile("pic.bmp", &type);
            check(bmp != nullptr, "pic.bmp loads by its bare name");
            check(type == QNDX_IMAGE_BMP, "BMP type written back");
            if (bmp) {
                check(Matches(bmp, ProgramDir::Picture()), "pic.bmp pixels");
                bmp->Release();
            }
            type = 0;
            IDirectDrawSurface7* jpg = loader.LoadFromFile("pic.jpg", &type);
            check(jpg != nullptr && type == QNDX_IMAGE_JPEG, "pic.jpg loads as JPEG");
            if (jpg) jpg->Release();
            // A backslash makes the name a path of its own (from the
            // program's directory, which is current).
            IDirectDrawSurface7* byPath = loader.LoadFromFile(".\\graphics\\pic.bmp", nullptr);
            check(byPath != nullptr, "a name with a backslash is used as given");
            if (byPath) byPath->Release();
            check(s.log->Errors() == 0, "no error so far");
        });
    }
}

TEST(ImageLoaderWithManager, MissingEmptyAndMisplacedFilesGiveNullAndAnErrorLine) {
    ProgramDir dir;
    RunWithManager(32, ProgramLine(dir), [](Scene& s) {
        Checks& check = *s.check;
        CQNDXImageLoader loader;
        const char* names[] = {"missing.bmp", "empty.bmp", "graphics/pic.bmp", nullptr, ""};
        for (const char* name : names) {
            int before = s.log->Errors();
            check(loader.LoadFromFile(name, nullptr) == nullptr, std::string("no surface for ") + (name ? name : "null"));
            check(s.log->Errors() == before + 1, std::string("one error line for ") + (name ? name : "null"));
        }
        // A read that brings fewer bytes than the file's size (here none) is
        // a failed load, not a decode of whatever the buffer held.
        qndx::sim::FailNext("ReadFile", 1, (HRESULT)ERROR_GEN_FAILURE);
        int before = s.log->Errors();
        const int unsupported = s.log->Count(4, "1 Unsuported message type");
        check(loader.LoadFromFile("pic.bmp", nullptr) == nullptr, "no surface when the read fails");
        check(qndx::sim::PendingFaults("ReadFile") == 0, "the file was read");
        check(s.log->Errors() == before + 1, "one error line for the failed read");
        check(s.log->Count(4, "1 Unsuported message type") == unsupported, "the unread buffer is never decoded");
        IDirectDrawSurface7* again = loader.LoadFromFile("pic.bmp", nullptr);
        check(again != nullptr, "the same file loads once reads work");
        if (again) again->Release();
        // A large file is mapped; one that cannot be is read, and when
        // neither works the load fails with one error line.
        for (int faults = 0; faults < 3; ++faults) {
            if (faults >= 1) qndx::sim::FailNext("MapViewOfFile", 1, (HRESULT)ERROR_GEN_FAILURE);
            if (faults == 2) qndx::sim::FailNext("ReadFile", 1, (HRESULT)ERROR_GEN_FAILURE);
            before = s.log->Errors();
            IDirectDrawSurface7* big = loader.LoadFromFile("big.bmp", nullptr);
            const std::string what = " (" + std::to_string(faults) + " faults)";
            check(qndx::sim::PendingFaults("MapViewOfFile") == 0 && qndx::sim::PendingFaults("ReadFile") == 0,
                  "every fault was met" + what);
            check(faults < 2 ? big && Matches(big, ProgramDir::BigPicture()) : !big, "the large file's load" + what);
            check(s.log->Errors() == before + (faults < 2 ? 0 : 1), "error lines" + what);
            if (big) big->Release();
        }
    });
}

TEST(ImageLoaderWithManager, TypeCodesAreHonouredAndWrittenBack) {
    ProgramDir dir;
    RunWithManager(16, ProgramLine(dir), [](Scene& s) {
        Checks& check = *s.check;
        CQNDXImageLoader loader;
        std::vector<uint8_t> bmp = ti::WriteBmpRgb(ProgramDir::Picture(), 24);
        std::vector<uint8_t> exif = ti::EncodeJpeg(ti::Smooth(20, 10), ExifOptions());

        // Detection, with the code written back.
        int type = 0;
        IDirectDrawSurface7* a = loader.LoadFromMemory((unsigned)bmp.size(), bmp.data(), &type);
        check(a && type == QNDX_IMAGE_BMP, "detected BMP");
        if (a) a->Release();
        // A null type pointer still loads.
        a = loader.LoadFromBuffer((unsigned)bmp.size(), bmp.data(), nullptr);
        check(a != nullptr, "load without a type pointer");
        if (a) a->Release();

        // An Exif JPEG is not detected: the error line and code 0...
        type = 0;
        check(!loader.LoadFromMemory((unsigned)exif.size(), exif.data(), &type), "Exif not detected");
        check(type == 0, "code 0 written back");
        check(s.log->Has(4, "1 Unsuported message type"), "the unrecognised-type line, level 1");
        // ...but loads when the caller names JPEG.
        type = QNDX_IMAGE_JPEG;
        a = loader.LoadFromMemory((unsigned)exif.size(), exif.data(), &type);
        check(a && type == QNDX_IMAGE_JPEG, "Exif JPEG with code 2");
        if (a) a->Release();

        // A code given is trusted: BMP and PNG data through the JPEG decoder
        // fail (detection would have found their own decoders).
        type = QNDX_IMAGE_JPEG;
        int before = s.log->Errors();
        check(!loader.LoadFromMemory((unsigned)bmp.size(), bmp.data(), &type), "BMP data as JPEG");
        check(type == QNDX_IMAGE_JPEG && s.log->Errors() > before, "code kept, error logged");
        ti::PngPicture pngPicture;
        pngPicture.width = 2;
        pngPicture.height = 2;
        pngPicture.samples.assign(12, 200);
        const std::vector<uint8_t> png = ti::EncodePng(pngPicture);
        type = 0;
        a = loader.LoadFromMemory((unsigned)png.size(), png.data(), &type);
        check(a && type == QNDX_IMAGE_PNG, "the PNG loads by detection");
        if (a) a->Release();
        type = QNDX_IMAGE_JPEG;
        const int unsupported = s.log->Count(4, "1 Unsuported message type");
        check(!loader.LoadFromMemory((unsigned)png.size(), png.data(), &type), "PNG data as JPEG");
        check(type == QNDX_IMAGE_JPEG, "JPEG code kept for the PNG data");
        check(s.log->Count(4, "1 Unsuported message type") == unsupported, "no detection ran");

        // Heads that are not whole images are detected, fail with one error
        // line, and still have their code written back.
        struct Partial {
            std::vector<uint8_t> data;
            int code;
        } partial[] = {{PngHead(), QNDX_IMAGE_PNG}, {PcxHead(), QNDX_IMAGE_PCX}};
        for (const Partial& p : partial) {
            type = 0;
            before = s.log->Errors();
            check(!loader.LoadFromMemory((unsigned)p.data.size(), p.data.data(), &type), "not a whole image");
            check(type == p.code, "detected code " + std::to_string(p.code));
            check(s.log->Errors() == before + 1, "error line for code " + std::to_string(p.code));
        }
        std::vector<uint8_t> tga = TgaFile();
        type = 0;
        a = loader.LoadFromMemory((unsigned)tga.size(), tga.data(), &type);
        check(a && type == QNDX_IMAGE_TGA, "TGA detected and decoded");
        if (a) a->Release();

        // An unknown code gives nothing, logs nothing and stays.
        type = 7;
        size_t lines = s.log->lines.size();
        check(!loader.LoadFromMemory((unsigned)bmp.size(), bmp.data(), &type), "code 7 gives nothing");
        check(type == 7 && s.log->lines.size() == lines, "code 7 kept, nothing logged");

        // No data at all: a code given stays, detection finds nothing.
        before = s.log->Errors();
        check(!loader.LoadFromMemory(0, bmp.data(), &type) && !loader.LoadFromMemory(10, nullptr, &type),
              "empty data");
        check(type == 7, "the code given stays for empty data");
        type = 0;
        check(!loader.LoadFromMemory(0, bmp.data(), &type) && type == 0, "empty data, nothing detected");
        check(!loader.LoadFromMemory(10, nullptr, &type) && type == 0, "null data, nothing detected");
        check(s.log->Errors() == before + 4, "error lines for empty data");
    });
}

TEST(ImageLoaderWithManager, FileObjectsAndStreamsReadOnlyWhatTheyHold) {
    ProgramDir dir;
    std::vector<uint8_t> bmp = ti::WriteBmpRgb(ProgramDir::Picture(), 24);
    std::vector<uint8_t> jpg = ti::EncodeJpeg(ti::Smooth(20, 10));
    std::vector<uint8_t> pack = ti::Concat(ti::Concat(std::vector<uint8_t>(10, 0x33), bmp), jpg);
    dir.Write("pack.dat", pack);
    // A PCX head whose file ends with a TGA footer: only the real end of the
    // data makes it a TGA.
    dir.Write("tail.dat", WithTgaFooter(PcxHead(), 24));
    dir.Write("half.bmp", std::vector<uint8_t>(bmp.begin(), bmp.begin() + (long)bmp.size() / 2));
    const unsigned bmpSize = (unsigned)bmp.size();
    RunWithManager(24, ProgramLine(dir), [bmpSize](Scene& s) {
        Checks& check = *s.check;
        CQNDXImageLoader loader;
        CQNDXFile file;
        check(file.OpenRead("pack.dat") == 0, "pack.dat opens");
        int type = 0;
        file.Seek(10, FILE_BEGIN);
        IDirectDrawSurface7* a = loader.LoadFromFileObject(bmpSize, &file, &type);
        check(a && type == QNDX_IMAGE_BMP, "BMP inside a file object");
        check(a && Matches(a, ProgramDir::Picture()), "its pixels");
        check(file.Tell() == 10, "file position unchanged");
        if (a) a->Release();
        // Size 0 from the JPEG's start: the rest of the file, fewer bytes than its size.
        file.Seek((LONG)(10 + bmpSize), FILE_BEGIN);
        type = 0;
        a = loader.LoadFromFileObject(0, &file, &type);
        check(a && type == QNDX_IMAGE_JPEG, "the rest of the file as JPEG");
        check(file.Tell() == 10 + bmpSize, "position kept again");
        if (a) a->Release();
        file.SeekToEnd();
        int before = s.log->Errors();
        check(!loader.LoadFromFileObject(0, &file, &type), "nothing left to read");
        check(s.log->Errors() == before + 1, "error line at the end of the file");
        file.Close();

        check(file.OpenRead("tail.dat") == 0, "tail.dat opens");
        type = 0;
        check(!loader.LoadFromFileObject(file.GetSize() + 100, &file, &type), "a PCX head ending in a TGA footer is no image");
        check(type == QNDX_IMAGE_TGA, "a short read hands on only the bytes read");
        file.Close();

        FILE* f = std::fopen("pack.dat", "rb");
        check(f != nullptr, "pack.dat opens as a stream");
        if (!f) return;
        std::fseek(f, 10, SEEK_SET);
        type = 0;
        a = loader.LoadFromStream(bmpSize, f, &type);
        check(a && type == QNDX_IMAGE_BMP, "BMP from a stream");
        check(std::ftell(f) == (long)(10 + bmpSize), "stream left after the bytes read");
        if (a) a->Release();
        type = 0;
        a = loader.LoadFromStream(0, f, &type);
        check(a && type == QNDX_IMAGE_JPEG, "the rest of the stream as JPEG");
        if (a) a->Release();
        before = s.log->Errors();
        check(!loader.LoadFromStream(0, f, &type), "stream at its end");
        check(s.log->Errors() == before + 1, "error line at the end of the stream");
        std::fclose(f);

        f = std::fopen("tail.dat", "rb");
        type = 0;
        loader.LoadFromStream(10000, f, &type);
        check(type == QNDX_IMAGE_TGA, "a short stream read hands on only the bytes read");
        std::fclose(f);

        f = std::fopen("half.bmp", "rb");
        before = s.log->Errors();
        check(!loader.LoadFromStream(0, f, &type), "half a BMP");
        check(s.log->Errors() > before, "error line for half a BMP");
        std::fclose(f);
        check(!loader.LoadFromFileObject(0, nullptr, &type) && !loader.LoadFromStream(0, nullptr, &type),
              "no file object or stream");
    });
}

TEST(ImageLoaderWithManager, NoProgramDirectoryOrVideoEngineGivesNullAndAnErrorLine) {
    ProgramDir dir;
    RunWithManager(32, "game.exe", [](Scene& s) {
        Checks& check = *s.check;
        check(s.manager->GetAppPath() == nullptr, "no program directory");
        CQNDXImageLoader loader;
        int before = s.log->Errors();
        check(!loader.LoadFromFile("pic.bmp", nullptr), "bare name without a program directory");
        check(s.log->Errors() == before + 1, "error line for the missing directory");
    }, dir.Path());
    RunWithManager(32, ProgramLine(dir), [](Scene& s) {
        Checks& check = *s.check;
        std::vector<uint8_t> bmp = ti::WriteBmpRgb(ProgramDir::Picture(), 24);
        CQNDXVideoEngine::Destroy();
        CQNDXImageLoader loader;
        int before = s.log->Errors();
        check(!loader.LoadFromMemory((unsigned)bmp.size(), bmp.data(), nullptr), "no video engine");
        check(!loader.LoadFromFile("pic.bmp", nullptr), "no video engine, by name");
        check(s.log->Errors() == before + 2, "error lines without a video engine");
    });
}

TEST(ImageLoaderWithManager, SurfacesLoadThroughTheLoaderAndKeepTheTypeCode) {
    ProgramDir dir;
    RunWithManager(15, ProgramLine(dir), [](Scene& s) {
        Checks& check = *s.check;
        CQNDXVideoEngine* engine = s.manager->GetVideoEngine();
        CQNDXSurface byName;
        check(byName.Load(engine, "pic.bmp", 0) == 1, "Load by name");
        check(byName.GetImageFormat() == QNDX_IMAGE_BMP, "type code kept by the surface");
        check(byName.GetWidth() == 13 && byName.GetHeight() == 7, "size of the loaded surface");
        check(byName.GetDDSurface() && Matches(byName.GetDDSurface(), ProgramDir::Picture()), "pixels");

        std::vector<uint8_t> jpg = ti::EncodeJpeg(ti::Smooth(20, 10));
        CQNDXSurface fromMemory;
        check(fromMemory.LoadFromMemory(engine, (int)jpg.size(), jpg.data(), 0) == 1, "LoadFromMemory");
        check(fromMemory.GetImageFormat() == QNDX_IMAGE_JPEG, "JPEG code kept");

        std::vector<uint8_t> junk = Junk(64);
        CQNDXSurface bad;
        check(bad.LoadFromMemory(engine, (int)junk.size(), junk.data(), 0) == -1, "junk gives -1");
        check(s.log->Has(4, "1 Unsuported message type"), "junk is logged");
    });
}

}  // namespace
