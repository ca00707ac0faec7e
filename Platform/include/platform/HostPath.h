// Path translation for the engine's own standard-library file opens (the file
// log's stream, surface files): the same one translation every platform call
// uses, so an engine path like ".\debug\x.log" names the same file everywhere.
#pragma once

#include <string>

namespace qndx {
namespace platform {

// '\' becomes '/'; trailing dots of a path segment are dropped unless the
// segment is made of dots only ("." and ".." keep their meaning), so
// "/games/bin.\sounds" names "/games/bin/sounds". A drive-letter path
// ("C:\x", "c:", "C:/x", "C:x") names nothing here and gives an empty string, as
// does a null or empty path; callers treat empty as failure.
std::string ToHostPath(const char* path);

}  // namespace platform
}  // namespace qndx
