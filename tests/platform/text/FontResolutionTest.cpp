// Which face a font draws with: Windows face names resolved to installed
// metric-compatible faces, font files added and removed for the process,
// and the fonts the platform refuses.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "platform/Gdi.h"
#include "platform/sim/Sim.h"
#include "platform/sim/Text.h"
#include "platform/text/TextTestSupport.h"
#include "support/TempDir.h"

using namespace texttest;

namespace {

std::string Resolve(const char* face, int weight = FW_NORMAL, bool italic = false) {
    HFONT f = CreateFontA(12, 0, 0, 0, weight, italic ? 1 : 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, VARIABLE_PITCH, face);
    std::string file = qndx::sim::ResolvedFontFile(f);
    DeleteObject(f);
    return file;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ReplaceAll(std::string* s, const std::string& from, const std::string& to) {
    for (size_t at = s->find(from); at != std::string::npos; at = s->find(from, at + to.size()))
        s->replace(at, from.size(), to);
}

std::string Utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out.push_back('\0');
        out.push_back(c);
    }
    return out;
}

// A copy of the installed Liberation Mono whose family is renamed, so that
// only adding the file can make the name resolve to it.
class RenamedFont : public ::testing::Test {
protected:
    void SetUp() override {
        std::string mono = Resolve("Courier New");
        ASSERT_NE(std::string::npos, FileName(mono).find("LiberationMono")) << mono;
        std::string bytes = ReadFile(mono);
        ASSERT_FALSE(bytes.empty());
        ReplaceAll(&bytes, "Liberation", "Quendrixxx");
        ReplaceAll(&bytes, Utf16("Liberation"), Utf16("Quendrixxx"));
        m_dir = qndx::test::MakeTempDir("qndx-fonts");
        ASSERT_FALSE(m_dir.empty());
        m_path = m_dir + "/renamed.ttf";
        std::ofstream(m_path, std::ios::binary) << bytes;
    }
    void TearDown() override {
        qndx::sim::Reset();
        std::remove(m_path.c_str());
        rmdir(m_dir.c_str());
    }
    std::string m_dir;
    std::string m_path;
};

}  // namespace

TEST(FontResolution, WindowsFaceNamesFindMetricCompatibleFaces) {
    EXPECT_NE(std::string::npos, FileName(Resolve("Arial")).find("LiberationSans-Regular")) << Resolve("Arial");
    EXPECT_NE(std::string::npos, FileName(Resolve("arial")).find("LiberationSans"));
    EXPECT_NE(std::string::npos, FileName(Resolve("Times New Roman")).find("LiberationSerif"));
    EXPECT_NE(std::string::npos, FileName(Resolve("Courier New")).find("LiberationMono"));
    EXPECT_NE(std::string::npos, FileName(Resolve("Arial", FW_BOLD)).find("LiberationSans-Bold"));
    EXPECT_NE(std::string::npos, FileName(Resolve("Arial", FW_NORMAL, true)).find("LiberationSans-Italic"));
}

TEST(FontResolution, UnknownAndEmptyNamesStillGiveAFace) {
    EXPECT_FALSE(Resolve("No Such Face At All").empty());
    EXPECT_FALSE(Resolve("").empty());
    EXPECT_TRUE(qndx::sim::ResolvedFontFile(nullptr).empty());
}

TEST(FontResolution, CreateFontKeepsWhatWasAskedFor) {
    HFONT f = CreateFontA(-17, 6, 0, 0, FW_BOLD, 1, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                          NONANTIALIASED_QUALITY, VARIABLE_PITCH, "A face name longer than thirty-one characters");
    ASSERT_NE(nullptr, f);
    LOGFONTA lf;
    ASSERT_EQ(static_cast<int>(sizeof lf), GetObjectA(f, sizeof lf, &lf));
    EXPECT_EQ(-17, lf.lfHeight);
    EXPECT_EQ(6, lf.lfWidth);
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    EXPECT_EQ(1, lf.lfItalic);
    EXPECT_EQ(NONANTIALIASED_QUALITY, lf.lfQuality);
    EXPECT_EQ(31u, std::strlen(lf.lfFaceName));
    EXPECT_TRUE(DeleteObject(f));

    qndx::sim::FailNext("CreateFontA", 1, 0);
    EXPECT_EQ(nullptr, CreateFontA(12, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial"));
}

TEST(FontResolution, AWidthStretchesTheFace) {
    Canvas c(32, 8, 8);
    HDC dc = c.Dc();
    SIZE normal = {0, 0}, stretched = {0, 0};
    {
        Selected f(dc, CreateFontA(16, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, NONANTIALIASED_QUALITY, 0, "Arial"));
        GetTextExtentPoint32A(dc, "abcdefgh", 8, &normal);
    }
    {
        Selected f(dc, CreateFontA(16, 20, 0, 0, 400, 0, 0, 0, 0, 0, 0, NONANTIALIASED_QUALITY, 0, "Arial"));
        GetTextExtentPoint32A(dc, "abcdefgh", 8, &stretched);
    }
    EXPECT_EQ(normal.cy, stretched.cy);
    EXPECT_GT(stretched.cx, normal.cx * 3 / 2);
}

TEST_F(RenamedFont, AnAddedFileIsFoundByItsFamilyUntilRemoved) {
    std::string before = Resolve("Quendrixxx Mono");
    EXPECT_NE(m_path, before);

    EXPECT_EQ(1, AddFontResourceA(m_path.c_str()));
    EXPECT_EQ(m_path, Resolve("Quendrixxx Mono"));

    // Added twice, it stays until removed twice.
    EXPECT_EQ(1, AddFontResourceA(m_path.c_str()));
    EXPECT_TRUE(RemoveFontResourceA(m_path.c_str()));
    EXPECT_EQ(m_path, Resolve("Quendrixxx Mono"));
    EXPECT_TRUE(RemoveFontResourceA(m_path.c_str()));
    EXPECT_NE(m_path, Resolve("Quendrixxx Mono"));
    EXPECT_FALSE(RemoveFontResourceA(m_path.c_str()));
}

TEST_F(RenamedFont, EnginePathsWithBackslashesAndAResetForgetTheFile) {
    std::string engineStyle = m_path;
    for (char& ch : engineStyle)
        if (ch == '/') ch = '\\';
    EXPECT_EQ(1, AddFontResourceA(engineStyle.c_str()));
    EXPECT_EQ(m_path, Resolve("Quendrixxx Mono"));
    qndx::sim::Reset();
    EXPECT_NE(m_path, Resolve("Quendrixxx Mono"));
}

TEST_F(RenamedFont, AFontInUseKeepsDrawingAfterItsFileIsRemoved) {
    ASSERT_EQ(1, AddFontResourceA(m_path.c_str()));
    Canvas c(32, 80, 20);
    HDC dc = c.Dc();
    HFONT font = MakeFont("Quendrixxx Mono", 14, NONANTIALIASED_QUALITY);
    HGDIOBJ previous = SelectObject(dc, font);
    SetTextColor(dc, RGB(255, 255, 255));
    EXPECT_TRUE(TextOutA(dc, 0, 0, "iiii", 4));
    RemoveFontResourceA(m_path.c_str());
    EXPECT_TRUE(TextOutA(dc, 0, 0, "WWWW", 4));
    SelectObject(dc, previous);
    DeleteObject(font);
}

TEST(FontFiles, FilesThatAreNotFontsAreRefused) {
    EXPECT_EQ(0, AddFontResourceA(nullptr));
    EXPECT_EQ(0, AddFontResourceA("/no/such/dir/font.ttf"));
    EXPECT_EQ(0, AddFontResourceA("C:\\Windows\\Fonts\\arial.ttf"));
    const std::string made = qndx::test::MakeTempFile("qndx-notafont");
    ASSERT_FALSE(made.empty());
    const char* path = made.c_str();
    std::ofstream(made, std::ios::binary) << "not a font!!";
    EXPECT_EQ(0, AddFontResourceA(path));
    EXPECT_FALSE(RemoveFontResourceA(path));
    std::remove(path);

    std::string arial = Resolve("Arial");
    qndx::sim::FailNext("AddFontResourceA", 1, 0);
    EXPECT_EQ(0, AddFontResourceA(arial.c_str()));
    EXPECT_EQ(1, AddFontResourceA(arial.c_str()));
    EXPECT_TRUE(RemoveFontResourceA(arial.c_str()));
}
