// The table of creatable classes. Areas add a row when they implement one.
#include "com/ComRegistry.h"

#include "dmusic/Objects.h"

namespace qndx {
namespace platform {

namespace {
struct ClassRow {
    const CLSID* clsid;
    ClassFactory create;
};

const ClassRow kClasses[] = {
    {&CLSID_DirectMusicPerformance, &audio::CreatePerformanceObject},
    {&CLSID_DirectMusicLoader, &audio::CreateLoaderObject},
};
}  // namespace

ClassFactory FindClassFactory(REFCLSID clsid) {
    for (const ClassRow& row : kClasses)
        if (row.clsid && *row.clsid == clsid) return row.create;
    return nullptr;
}

}  // namespace platform
}  // namespace qndx
