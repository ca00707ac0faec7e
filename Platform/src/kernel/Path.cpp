// Engine paths to host paths; see Path.h for the rules.
#include "kernel/Path.h"

#include <cctype>
#include <cstring>

namespace qndx {
namespace platform {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool HasDriveLetter(const char* path) {
    // "C:x" (relative to a drive's own directory) is just as foreign here.
    return std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// Appends one segment, dropping its trailing dots unless it is all dots.
void AppendSegment(std::string& out, const char* begin, const char* end) {
    const char* last = end;
    while (last > begin && last[-1] == '.') --last;
    if (last == begin) last = end;  // ".", "..", "..." stay as written
    out.append(begin, last);
}

}  // namespace

std::string ToHostPath(const char* path) {
    if (path == nullptr || path[0] == '\0' || HasDriveLetter(path)) return std::string();
    std::string out;
    out.reserve(std::strlen(path));
    const char* segment = path;
    for (const char* p = path;; ++p) {
        if (*p == '\0' || IsSeparator(*p)) {
            AppendSegment(out, segment, p);
            if (*p == '\0') break;
            out.push_back('/');
            segment = p + 1;
        }
    }
    return out;
}

}  // namespace platform
}  // namespace qndx
