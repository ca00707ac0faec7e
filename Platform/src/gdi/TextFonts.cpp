// Font objects and font files: CreateFontA, AddFontResourceA,
// RemoveFontResourceA, and the text side of the sim panel.
#include <cstring>
#include <memory>
#include <string>

#include "gdi/FontCache.h"
#include "gdi/GdiObject.h"
#include "kernel/Path.h"
#include "platform/Gdi.h"
#include "platform/sim/Text.h"
#include "sim/SimInternal.h"

using namespace qndx::platform;

HFONT CreateFontA(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight, DWORD bItalic,
                  DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet, DWORD iOutPrecision, DWORD iClipPrecision,
                  DWORD iQuality, DWORD iPitchAndFamily, LPCSTR pszFaceName) {
    qndx::sim::internal::Record("CreateFontA", pszFaceName ? pszFaceName : "NULL");
    if (qndx::sim::internal::TakeFault("CreateFontA", nullptr)) return nullptr;
    // The face is resolved when the font is first used, so that font files
    // added afterwards are found.
    std::unique_ptr<FontObject> font(new FontObject());
    LOGFONTA& d = font->desc;
    d.lfHeight = cHeight;
    d.lfWidth = cWidth < 0 ? -cWidth : cWidth;
    d.lfEscapement = cEscapement;
    d.lfOrientation = cOrientation;
    d.lfWeight = cWeight;
    d.lfItalic = bItalic ? 1 : 0;
    d.lfUnderline = bUnderline ? 1 : 0;
    d.lfStrikeOut = bStrikeOut ? 1 : 0;
    d.lfCharSet = static_cast<BYTE>(iCharSet);
    d.lfOutPrecision = static_cast<BYTE>(iOutPrecision);
    d.lfClipPrecision = static_cast<BYTE>(iClipPrecision);
    d.lfQuality = static_cast<BYTE>(iQuality);
    d.lfPitchAndFamily = static_cast<BYTE>(iPitchAndFamily);
    if (pszFaceName) std::strncpy(d.lfFaceName, pszFaceName, LF_FACESIZE - 1);
    return static_cast<HFONT>(RegisterGdiObject(std::move(font)));
}

int AddFontResourceA(LPCSTR lpFileName) {
    qndx::sim::internal::Record("AddFontResourceA", lpFileName ? lpFileName : "NULL");
    if (qndx::sim::internal::TakeFault("AddFontResourceA", nullptr)) return 0;
    if (!lpFileName) return 0;
    return TextSystem::Get().AddFontFile(ToHostPath(lpFileName));
}

BOOL RemoveFontResourceA(LPCSTR lpFileName) {
    qndx::sim::internal::Record("RemoveFontResourceA", lpFileName ? lpFileName : "NULL");
    if (!lpFileName) return FALSE;
    return TextSystem::Get().RemoveFontFile(ToHostPath(lpFileName)) ? TRUE : FALSE;
}

namespace qndx {
namespace sim {

std::string ResolvedFontFile(HFONT font) {
    FontObject* object = LookupGdiObjectAs<FontObject>(font, GdiObject::Kind::Font);
    if (!object) return std::string();
    std::shared_ptr<FontInstance> instance = TextSystem::Get().InstanceFor(object->desc);
    return instance ? instance->File() : std::string();
}

GlyphCacheCounts GetGlyphCacheCounts() {
    TextSystem::Stats& stats = TextSystem::Get().GetStats();
    return GlyphCacheCounts{stats.rendered, stats.reused};
}

}  // namespace sim
}  // namespace qndx
