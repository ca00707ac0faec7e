// Line layout for DrawTextA.
#include "gdi/TextLayout.h"

#include <climits>

namespace qndx {
namespace platform {

namespace {

bool IsLineFeed(char c) { return c == '\r' || c == '\n'; }

// Pen after drawing character c from pen.
long long Step(long long pen, unsigned char c, const AdvanceOf& advance, int tabStop) {
    if (c == '\t' && tabStop > 0) return (pen / tabStop + 1) * tabStop;
    return pen + advance(c);
}

int Clamp(long long v) { return v > INT_MAX ? INT_MAX : static_cast<int>(v); }

// Word-wraps one paragraph chars[begin, end) into `lines`.
void WrapParagraph(const std::string& chars, size_t begin, size_t end, int maxWidth, const AdvanceOf& advance,
                   int tabStop, std::vector<LaidOutLine>* lines) {
    size_t start = begin;
    for (;;) {
        long long pen = 0;
        // Where the line may end (the first space after a word) and where the
        // next one then starts (after that run of spaces).
        size_t breakEnd = 0, breakResume = 0;
        bool canBreak = false;
        size_t i = start;
        bool wrapped = false;
        while (i < end) {
            unsigned char c = static_cast<unsigned char>(chars[i]);
            if (c == ' ') {
                size_t j = i;
                while (j < end && chars[j] == ' ') {
                    pen = Step(pen, ' ', advance, tabStop);
                    ++j;
                }
                if (i > start) {
                    breakEnd = i;
                    breakResume = j;
                    canBreak = true;
                }
                i = j;
                continue;
            }
            long long next = Step(pen, c, advance, tabStop);
            if (next > maxWidth && canBreak) {
                lines->push_back(LaidOutLine{start, breakEnd, RunWidth(chars, start, breakEnd, advance, tabStop)});
                start = breakResume;
                wrapped = true;
                break;
            }
            pen = next;
            ++i;
        }
        if (wrapped) continue;
        lines->push_back(LaidOutLine{start, end, Clamp(pen)});
        return;
    }
}

}  // namespace

PreparedText PrepareText(const char* text, int count, bool processPrefixes) {
    PreparedText out;
    if (!text || count <= 0) return out;
    out.chars.reserve(static_cast<size_t>(count));
    bool underlineNext = false;
    for (int i = 0; i < count; ++i) {
        char c = text[i];
        if (processPrefixes && c == '&') {
            if (i + 1 < count && text[i + 1] == '&') {
                ++i;  // "&&" is one '&'
            } else {
                underlineNext = true;
                continue;
            }
        }
        out.chars.push_back(c);
        out.underlined.push_back(underlineNext);
        underlineNext = false;
    }
    return out;
}

int RunWidth(const std::string& chars, size_t begin, size_t end, const AdvanceOf& advance, int tabStop) {
    long long pen = 0;
    for (size_t i = begin; i < end && i < chars.size(); ++i)
        pen = Step(pen, static_cast<unsigned char>(chars[i]), advance, tabStop);
    return Clamp(pen);
}

std::vector<LaidOutLine> LayoutLines(const std::string& chars, UINT format, int maxWidth, const AdvanceOf& advance,
                                     int tabStop) {
    std::vector<LaidOutLine> lines;
    if (format & DT_SINGLELINE) {
        lines.push_back(LaidOutLine{0, chars.size(), RunWidth(chars, 0, chars.size(), advance, tabStop)});
        return lines;
    }
    size_t begin = 0;
    for (;;) {
        size_t end = begin;
        while (end < chars.size() && !IsLineFeed(chars[end])) ++end;
        if (format & DT_WORDBREAK)
            WrapParagraph(chars, begin, end, maxWidth, advance, tabStop, &lines);
        else
            lines.push_back(LaidOutLine{begin, end, RunWidth(chars, begin, end, advance, tabStop)});
        if (end >= chars.size()) break;
        // CR LF is one line end.
        begin = end + 1;
        if (chars[end] == '\r' && begin < chars.size() && chars[begin] == '\n') ++begin;
    }
    return lines;
}

}  // namespace platform
}  // namespace qndx
