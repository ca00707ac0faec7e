// Helpers for the font tests: the engine fixture of the tileset tests, ink
// found in a surface, and a font file of a family nothing else provides.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "engine/tileset/SheetTestSupport.h"
#include "platform/Gdi.h"
#include "platform/sim/Text.h"
#include "support/TempDir.h"

namespace fonttest {

using sheettest::Pixels;

// Bounding box of the pixels of `s` that differ from `background`.
inline RECT Ink(CQNDXSurface* s, DWORD background) {
    Pixels p(s);
    RECT r = {p.Width(), p.Height(), 0, 0};
    for (int y = 0; y < p.Height(); ++y)
        for (int x = 0; x < p.Width(); ++x)
            if (p.At(x, y) != background) {
                if (x < r.left) r.left = x;
                if (y < r.top) r.top = y;
                if (x + 1 > r.right) r.right = x + 1;
                if (y + 1 > r.bottom) r.bottom = y + 1;
            }
    if (r.right <= r.left) r = RECT{0, 0, 0, 0};
    return r;
}

inline int InkBands(CQNDXSurface* s, DWORD background) {
    Pixels p(s);
    int bands = 0;
    bool previous = false;
    for (int y = 0; y < p.Height(); ++y) {
        bool any = false;
        for (int x = 0; x < p.Width() && !any; ++x) any = p.At(x, y) != background;
        if (any && !previous) ++bands;
        previous = any;
    }
    return bands;
}

inline std::vector<DWORD> All(CQNDXSurface* s) {
    Pixels p(s);
    std::vector<DWORD> out;
    for (int y = 0; y < p.Height(); ++y)
        for (int x = 0; x < p.Width(); ++x) out.push_back(p.At(x, y));
    return out;
}

inline void FillSurface(CQNDXSurface* s, DWORD native) {
    Pixels p(s);
    p.Fill(native);
}

// The file a face name resolves to.
inline std::string FileOf(const char* face) {
    HFONT f = CreateFontA(12, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, face);
    std::string file = qndx::sim::ResolvedFontFile(f);
    DeleteObject(f);
    return file;
}

// A copy of Liberation Mono renamed to the family "Quendrixxx Mono", in a
// scratch directory removed with the object.
class RenamedFontFile {
public:
    RenamedFontFile() {
        std::ifstream in(FileOf("Courier New"), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Replace(&bytes, "Liberation", "Quendrixxx");
        Replace(&bytes, Utf16("Liberation"), Utf16("Quendrixxx"));
        m_dir = qndx::test::MakeTempDir("qndx-fontfile");
        if (!m_dir.empty()) {
            m_path = m_dir + "/renamed.ttf";
            std::ofstream(m_path, std::ios::binary) << bytes;
        }
    }
    ~RenamedFontFile() {
        std::remove(m_path.c_str());
        rmdir(m_dir.c_str());
    }
    const std::string& Path() const { return m_path; }
    bool Added() const { return FileOf("Quendrixxx Mono") == m_path; }

private:
    static std::string Utf16(const std::string& ascii) {
        std::string out;
        for (char c : ascii) {
            out.push_back('\0');
            out.push_back(c);
        }
        return out;
    }
    static void Replace(std::string* s, const std::string& from, const std::string& to) {
        for (size_t at = s->find(from); at != std::string::npos; at = s->find(from, at + to.size()))
            s->replace(at, from.size(), to);
    }
    std::string m_dir;
    std::string m_path;
};

}  // namespace fonttest
