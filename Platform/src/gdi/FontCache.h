// Fonts behind the text calls: face names resolved through fontconfig
// ("Arial" finds a metric-compatible face such as Liberation Sans), font
// files added for this process, FreeType faces sized as GDI sizes a font,
// and the rendered glyphs of each sized face, cached by byte so text drawn
// every frame renders each glyph once.
//
// Text is single-byte: bytes are Windows-1252. Escapement and orientation
// of a font are not applied (text runs left to right on the baseline).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Gdi.h"

namespace qndx {
namespace platform {

// A rendered glyph: coverage 0 (background) to 255 (text colour), placed
// relative to the pen on the baseline.
struct Glyph {
    int left = 0;     // first column, right of the pen
    int top = 0;      // first row, above the baseline
    int width = 0;
    int rows = 0;
    int advance = 0;  // pen movement in pixels
    std::vector<uint8_t> coverage;  // width * rows, row-major
};

// One face at one size and rendering mode.
class FontInstance {
public:
    ~FontInstance();
    FontInstance(const FontInstance&) = delete;
    FontInstance& operator=(const FontInstance&) = delete;

    // Cell metrics in pixels: height = ascent + descent.
    int Ascent() const { return m_ascent; }
    int Descent() const { return m_descent; }
    int Height() const { return m_ascent + m_descent; }
    int AverageCharWidth() const { return m_averageWidth; }
    int UnderlinePosition() const { return m_underlinePosition; }  // below the baseline
    int LineThickness() const { return m_lineThickness; }
    int StrikeOutPosition() const { return m_strikeOutPosition; }  // above the baseline
    bool Monochrome() const { return m_monochrome; }
    bool Underline() const { return m_underline; }
    bool StrikeOut() const { return m_strikeOut; }
    const std::string& File() const { return m_file; }

    // The glyph of a Windows-1252 byte, rendered on first use.
    const Glyph& GlyphFor(unsigned char byte);
    // Sum of the advances of `count` bytes.
    int Advance(const char* text, int count);

private:
    friend class TextSystem;
    FontInstance() = default;

    void* m_face = nullptr;  // FT_Face, kept out of this header
    std::string m_file;
    bool m_monochrome = false;
    bool m_embolden = false;
    bool m_underline = false;
    bool m_strikeOut = false;
    int m_ascent = 0;
    int m_descent = 0;
    int m_averageWidth = 0;
    int m_underlinePosition = 1;
    int m_lineThickness = 1;
    int m_strikeOutPosition = 0;
    std::array<std::unique_ptr<Glyph>, 256> m_glyphs;
};

// The text renderer's state: one object for the process, created on first
// use. Reset (the sim panel) forgets added font files and cached fonts.
class TextSystem {
public:
    static TextSystem& Get();

    // The sized face a font description asks for; null when no face loads.
    std::shared_ptr<FontInstance> InstanceFor(const LOGFONTA& desc);

    // Adds a font file (host path) to the set fontconfig searches; returns the
    // number of faces in it, 0 when it is not a readable font. Adding the
    // same file again counts; it stays until removed as often.
    int AddFontFile(const std::string& hostPath);
    bool RemoveFontFile(const std::string& hostPath);

    struct Stats {
        uint64_t rendered = 0;  // glyphs rendered by FreeType
        uint64_t reused = 0;    // glyphs taken from the cache
    };
    Stats& GetStats() { return m_stats; }

    void Reset();

private:
    TextSystem();
    ~TextSystem() = default;

    std::shared_ptr<FontInstance> Load(const LOGFONTA& desc);
    void ReloadAppFonts();

    void* m_library = nullptr;  // FT_Library
    bool m_fontconfigReady = false;
    std::map<std::string, int> m_added;  // host path -> times added
    std::map<std::string, std::shared_ptr<FontInstance>> m_instances;
    Stats m_stats;
};

}  // namespace platform
}  // namespace qndx
