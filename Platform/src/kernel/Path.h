// The one translation from engine-style paths (".\debug", "bin.\sounds") to
// host paths. Every call of the layer that touches the file system passes its
// path through here first.
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
