// Component start-up and object creation by class ID. Classes are answered
// by the areas that implement them; an unknown class is refused visibly.
#include <cstdio>

#include "com/ComRegistry.h"
#include "platform/Com.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {
int g_comInits = 0;
}

HRESULT CoInitialize(LPVOID reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(LPVOID, DWORD) {
    // S_FALSE tells a caller that the library was already initialised.
    return g_comInits++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (g_comInits > 0) --g_comInits;
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN outer, DWORD, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (auto factory = qndx::platform::FindClassFactory(rclsid)) return factory(riid, ppv);
    std::fprintf(stderr, "CoCreateInstance: class {%08X-...} is not available\n", rclsid.Data1);
    return REGDB_E_CLASSNOTREG;
}
