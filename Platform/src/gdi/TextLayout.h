// Line layout for DrawTextA: '&' prefixes, line breaks, word wrapping and
// tab expansion, worked out on character advances alone so that it can be
// checked without a font.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Gdi.h"

namespace qndx {
namespace platform {

// The text to lay out after prefix processing: '&&' becomes '&', a single
// '&' is dropped and underlines the character after it.
struct PreparedText {
    std::string chars;
    std::vector<bool> underlined;  // one per character
};
PreparedText PrepareText(const char* text, int count, bool processPrefixes);

// A line: characters [begin, end) of the prepared text and its width.
struct LaidOutLine {
    size_t begin = 0;
    size_t end = 0;
    int width = 0;
};

// Pen movement of one character.
typedef std::function<int(unsigned char)> AdvanceOf;

// Width of chars[begin, end) drawn from a pen at 0. With tabStop above 0
// a tab moves the pen to the next multiple of tabStop.
int RunWidth(const std::string& chars, size_t begin, size_t end, const AdvanceOf& advance, int tabStop);

// Splits into lines by DT_SINGLELINE (one line), line feeds (CR, LF or CR LF
// end a line) and DT_WORDBREAK (lines end at the last space before a word
// that would cross maxWidth; the spaces there are dropped; a word wider
// than maxWidth stays whole). Empty text gives one empty line.
std::vector<LaidOutLine> LayoutLines(const std::string& chars, UINT format, int maxWidth, const AdvanceOf& advance,
                                     int tabStop);

}  // namespace platform
}  // namespace qndx
