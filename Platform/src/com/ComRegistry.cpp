// The table of creatable classes. Areas add a row when they implement one.
#include "com/ComRegistry.h"

namespace qndx {
namespace platform {

namespace {
struct ClassRow {
    const CLSID* clsid;
    ClassFactory create;
};

// No creatable classes yet: the music performance and loader add theirs.
const ClassRow kClasses[] = {{nullptr, nullptr}};
}  // namespace

ClassFactory FindClassFactory(REFCLSID clsid) {
    for (const ClassRow& row : kClasses)
        if (row.clsid && *row.clsid == clsid) return row.create;
    return nullptr;
}

}  // namespace platform
}  // namespace qndx
