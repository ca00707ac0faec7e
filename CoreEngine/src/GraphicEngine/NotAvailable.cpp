// The one-time error line of operations that are not built yet.
#include "GraphicEngine/NotAvailable.h"

#include <cstdio>
#include <set>
#include <string>

#include "GraphicEngine/GraphicsLog.h"

namespace qndx {
namespace gfx {

void ReportNotAvailable(const char* what) {
    static std::set<std::string> reported;
    if (!reported.insert(what).second) return;
    std::string line = std::string(what) + " is not available yet";
    LogError(line.c_str());
    std::fprintf(stderr, "QNDX: %s\n", line.c_str());
}

}  // namespace gfx
}  // namespace qndx
