// Font resolution (fontconfig), sizing (FreeType) and the glyph cache.
//
// Sizes follow GDI: a positive height asks for a cell height (ascent plus
// descent, from the face's Windows ascent and descent) and a negative one
// for an em size in pixels; the em size is rounded to whole pixels so that
// hinting works on the pixel grid. A width above 0 stretches the face so its
// average character is that wide.
#include "gdi/FontCache.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include "kernel/CodePage.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {

namespace {

// Distinct font descriptions cached at once; more than this starts afresh.
const size_t kMaxInstances = 64;

FT_Face AsFace(void* p) { return static_cast<FT_Face>(p); }
FT_Library AsLibrary(void* p) { return static_cast<FT_Library>(p); }

int RoundDiv(long long num, long long den) {
    if (den == 0) return 0;
    double v = static_cast<double>(num) / static_cast<double>(den);
    return static_cast<int>(std::lround(v));
}

// Cache key: the description with the face name compared case-insensitively
// and whatever follows its terminator ignored.
std::string KeyOf(const LOGFONTA& desc) {
    LOGFONTA k = desc;
    size_t n = strnlen(k.lfFaceName, LF_FACESIZE);
    for (size_t i = 0; i < LF_FACESIZE; ++i) {
        char c = i < n ? k.lfFaceName[i] : '\0';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        k.lfFaceName[i] = c;
    }
    k.lfEscapement = 0;
    k.lfOrientation = 0;
    return std::string(reinterpret_cast<const char*>(&k), sizeof k);
}

// The family fontconfig is asked for when the description names none.
const char* GenericFamily(BYTE pitchAndFamily) {
    if ((pitchAndFamily & 3) == FIXED_PITCH) return "monospace";
    switch (pitchAndFamily & 0xF0) {
        case FF_ROMAN: return "serif";
        case FF_MODERN: return "monospace";
        case FF_SCRIPT: return "cursive";
        default: return "sans-serif";
    }
}

struct Match {
    std::string file;
    int index = 0;
    bool embolden = false;
    bool hasMatrix = false;
    FcMatrix matrix = {1, 0, 0, 1};
};

bool ResolveFace(const LOGFONTA& desc, Match* out) {
    std::string family(desc.lfFaceName, strnlen(desc.lfFaceName, LF_FACESIZE));
    if (family.empty()) family = GenericFamily(desc.lfPitchAndFamily);

    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    int weight = desc.lfWeight > 0 ? static_cast<int>(desc.lfWeight) : FW_NORMAL;
    if (weight > 1000) weight = 1000;
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, desc.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;

    bool ok = false;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        out->file = reinterpret_cast<const char*>(file);
        int index = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) out->index = index;
        FcBool embolden = FcFalse;
        if (FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden) == FcResultMatch) out->embolden = embolden;
        FcMatrix* matrix = nullptr;
        if (FcPatternGetMatrix(match, FC_MATRIX, 0, &matrix) == FcResultMatch && matrix) {
            out->hasMatrix = true;
            out->matrix = *matrix;
        }
        ok = true;
    }
    FcPatternDestroy(match);
    return ok;
}

}  // namespace

// ---------------------------------------------------------------------------
// FontInstance

FontInstance::~FontInstance() {
    if (m_face) FT_Done_Face(AsFace(m_face));
}

const Glyph& FontInstance::GlyphFor(unsigned char byte) {
    TextSystem::Stats& stats = TextSystem::Get().GetStats();
    if (m_glyphs[byte]) {
        ++stats.reused;
        return *m_glyphs[byte];
    }
    ++stats.rendered;
    std::unique_ptr<Glyph> glyph(new Glyph());

    FT_Face face = AsFace(m_face);
    FT_UInt index = FT_Get_Char_Index(face, Cp1252ToUtf16(byte));
    FT_Int32 flags = m_monochrome ? (FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) : (FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL);
    if (FT_Load_Glyph(face, index, flags) == 0) {
        FT_GlyphSlot slot = face->glyph;
        if (m_embolden) FT_GlyphSlot_Embolden(slot);
        if (FT_Render_Glyph(slot, m_monochrome ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) == 0) {
            const FT_Bitmap& bm = slot->bitmap;
            glyph->left = slot->bitmap_left;
            glyph->top = slot->bitmap_top;
            glyph->width = static_cast<int>(bm.width);
            glyph->rows = static_cast<int>(bm.rows);
            glyph->coverage.assign(static_cast<size_t>(glyph->width) * static_cast<size_t>(glyph->rows), 0);
            const int stride = bm.pitch < 0 ? -bm.pitch : bm.pitch;
            const int grays = bm.num_grays > 1 ? bm.num_grays - 1 : 255;
            for (int y = 0; y < glyph->rows; ++y) {
                const int memoryRow = bm.pitch < 0 ? glyph->rows - 1 - y : y;
                const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(memoryRow) * stride;
                uint8_t* out = &glyph->coverage[static_cast<size_t>(y) * glyph->width];
                for (int x = 0; x < glyph->width; ++x) {
                    if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                        out[x] = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
                    else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
                        out[x] = static_cast<uint8_t>(row[x] * 255 / grays);
                }
            }
        }
        glyph->advance = static_cast<int>((slot->advance.x + 32) >> 6);
    }
    m_glyphs[byte] = std::move(glyph);
    return *m_glyphs[byte];
}

int FontInstance::Advance(const char* text, int count) {
    long long total = 0;
    for (int i = 0; i < count; ++i) total += GlyphFor(static_cast<unsigned char>(text[i])).advance;
    if (total > INT_MAX) return INT_MAX;
    return static_cast<int>(total);
}

// ---------------------------------------------------------------------------
// TextSystem

namespace {
void ResetHook() { TextSystem::Get().Reset(); }
}  // namespace

TextSystem& TextSystem::Get() {
    // Lives as long as the process: fonts handed out may outlive a reset.
    static TextSystem* system = [] {
        TextSystem* s = new TextSystem();
        sim::internal::AddResetHook(&ResetHook);
        return s;
    }();
    return *system;
}

TextSystem::TextSystem() {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) == 0)
        m_library = library;
    else
        std::fprintf(stderr, "text: FreeType could not be initialised; no text will be drawn\n");
    m_fontconfigReady = FcInit() == FcTrue;
    if (!m_fontconfigReady) std::fprintf(stderr, "text: fontconfig could not be initialised; no text will be drawn\n");
}

void TextSystem::Reset() {
    m_instances.clear();
    if (!m_added.empty()) {
        m_added.clear();
        if (m_fontconfigReady) FcConfigAppFontClear(nullptr);
    }
    m_stats = Stats();
}

std::shared_ptr<FontInstance> TextSystem::InstanceFor(const LOGFONTA& desc) {
    std::string key = KeyOf(desc);
    auto it = m_instances.find(key);
    if (it != m_instances.end()) return it->second;
    std::shared_ptr<FontInstance> instance = Load(desc);
    if (!instance) return nullptr;
    if (m_instances.size() >= kMaxInstances) m_instances.clear();
    m_instances[key] = instance;
    return instance;
}

std::shared_ptr<FontInstance> TextSystem::Load(const LOGFONTA& desc) {
    if (!m_library || !m_fontconfigReady) return nullptr;
    Match match;
    if (!ResolveFace(desc, &match)) {
        std::fprintf(stderr, "text: no installed face for \"%.32s\"\n", desc.lfFaceName);
        return nullptr;
    }

    FT_Face face = nullptr;
    if (FT_New_Face(AsLibrary(m_library), match.file.c_str(), match.index, &face) != 0 || !face) {
        std::fprintf(stderr, "text: cannot open font file %s\n", match.file.c_str());
        return nullptr;
    }
    std::shared_ptr<FontInstance> instance(new FontInstance());
    instance->m_face = face;  // freed with the instance from here on
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        std::fprintf(stderr, "text: %s is not a scalable font\n", match.file.c_str());
        return nullptr;
    }

    const long long upem = face->units_per_EM;
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    long long winAscent = os2 ? os2->usWinAscent : 0;
    long long winDescent = os2 ? os2->usWinDescent : 0;
    if (winAscent + winDescent <= 0) {
        winAscent = face->ascender;
        winDescent = -face->descender;
    }
    if (winAscent + winDescent <= 0) {
        winAscent = upem * 4 / 5;
        winDescent = upem - winAscent;
    }
    const long long cell = winAscent + winDescent;

    // Em size in whole pixels; the cell asked for stays exact.
    long long requested = desc.lfHeight;
    if (requested == INT_MIN) requested = INT_MAX;
    long long cellHeight = 0;
    int ppem;
    if (requested > 0) {
        cellHeight = requested > 4096 ? 4096 : requested;
        ppem = RoundDiv(cellHeight * upem, cell);
        // The largest em whose rounded ascent and descent fit the cell, so
        // that descenders stay inside it.
        while (ppem > 1 && RoundDiv(winAscent * ppem, upem) + RoundDiv(winDescent * ppem, upem) > cellHeight) --ppem;
    } else if (requested < 0) {
        ppem = static_cast<int>(-requested > 4096 ? 4096 : -requested);
    } else {
        ppem = RoundDiv(16 * upem, cell);
    }
    if (ppem < 1) ppem = 1;

    const long long average = (os2 && os2->xAvgCharWidth > 0) ? os2->xAvgCharWidth : upem / 2;
    int xppem = ppem;
    if (desc.lfWidth > 0) {
        long long width = desc.lfWidth > 4096 ? 4096 : desc.lfWidth;
        xppem = RoundDiv(width * upem, average);
        if (xppem < 1) xppem = 1;
    }
    if (FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(xppem), static_cast<FT_UInt>(ppem)) != 0) {
        std::fprintf(stderr, "text: cannot size %s at %d pixels\n", match.file.c_str(), ppem);
        return nullptr;
    }
    if (match.hasMatrix) {
        FT_Matrix m;
        m.xx = static_cast<FT_Fixed>(match.matrix.xx * 65536.0);
        m.xy = static_cast<FT_Fixed>(match.matrix.xy * 65536.0);
        m.yx = static_cast<FT_Fixed>(match.matrix.yx * 65536.0);
        m.yy = static_cast<FT_Fixed>(match.matrix.yy * 65536.0);
        FT_Set_Transform(face, &m, nullptr);
    }

    instance->m_file = match.file;
    instance->m_monochrome = desc.lfQuality == NONANTIALIASED_QUALITY;
    instance->m_embolden = match.embolden;
    instance->m_underline = desc.lfUnderline != 0;
    instance->m_strikeOut = desc.lfStrikeOut != 0;
    instance->m_ascent = RoundDiv(winAscent * ppem, upem);
    if (cellHeight > 0) {
        if (instance->m_ascent > cellHeight) instance->m_ascent = static_cast<int>(cellHeight);
        instance->m_descent = static_cast<int>(cellHeight) - instance->m_ascent;
    } else {
        instance->m_descent = RoundDiv(winDescent * ppem, upem);
    }
    instance->m_averageWidth = RoundDiv(average * xppem, upem);
    if (instance->m_averageWidth < 1) instance->m_averageWidth = 1;
    int thickness = RoundDiv(static_cast<long long>(face->underline_thickness) * ppem, upem);
    instance->m_lineThickness = thickness < 1 ? 1 : thickness;
    int underline = RoundDiv(-static_cast<long long>(face->underline_position) * ppem, upem);
    instance->m_underlinePosition = underline < 1 ? 1 : underline;
    if (instance->m_underlinePosition + instance->m_lineThickness > instance->m_descent)
        instance->m_underlinePosition = instance->m_descent - instance->m_lineThickness;
    if (instance->m_underlinePosition < 0) instance->m_underlinePosition = 0;
    if (os2 && os2->yStrikeoutPosition > 0)
        instance->m_strikeOutPosition = RoundDiv(static_cast<long long>(os2->yStrikeoutPosition) * ppem, upem);
    else
        instance->m_strikeOutPosition = instance->m_ascent / 3;
    return instance;
}

int TextSystem::AddFontFile(const std::string& hostPath) {
    if (!m_library || !m_fontconfigReady || hostPath.empty()) return 0;
    char* resolved = realpath(hostPath.c_str(), nullptr);
    if (!resolved) return 0;
    std::string path(resolved);
    std::free(resolved);

    FT_Face face = nullptr;
    if (FT_New_Face(AsLibrary(m_library), path.c_str(), -1, &face) != 0 || !face) return 0;
    int faces = static_cast<int>(face->num_faces);
    FT_Done_Face(face);
    if (faces < 1) return 0;

    auto it = m_added.find(path);
    if (it != m_added.end()) {
        ++it->second;
        return faces;
    }
    if (!FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(path.c_str()))) return 0;
    m_added[path] = 1;
    m_instances.clear();  // a name may now resolve to the new face
    return faces;
}

bool TextSystem::RemoveFontFile(const std::string& hostPath) {
    if (hostPath.empty()) return false;
    char* resolved = realpath(hostPath.c_str(), nullptr);
    std::string path = resolved ? std::string(resolved) : hostPath;
    std::free(resolved);

    auto it = m_added.find(path);
    if (it == m_added.end()) return false;
    if (--it->second > 0) return true;
    m_added.erase(it);
    ReloadAppFonts();
    m_instances.clear();
    return true;
}

void TextSystem::ReloadAppFonts() {
    if (!m_fontconfigReady) return;
    // fontconfig can only drop application fonts all at once.
    FcConfigAppFontClear(nullptr);
    for (const auto& entry : m_added)
        FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(entry.first.c_str()));
}

}  // namespace platform
}  // namespace qndx
