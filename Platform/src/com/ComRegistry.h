// Which area creates the objects of which class ID (CoCreateInstance).
#pragma once

#include "platform/Com.h"

#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154)

namespace qndx {
namespace platform {

typedef HRESULT (*ClassFactory)(REFIID riid, void** ppv);

// The classes are listed in ComRegistry.cpp, in one table, so that no area
// relies on a static initialiser to announce itself.
ClassFactory FindClassFactory(REFCLSID clsid);

}  // namespace platform
}  // namespace qndx
