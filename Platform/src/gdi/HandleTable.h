// Handle values shared by DCs and GDI objects, so that no DC handle ever
// equals an object handle and no value is ever given out twice.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace qndx {
namespace platform {

uintptr_t NextHandleValue();
// True when some live DC has `object` selected.
bool AnyDCSelects(HGDIOBJ object);

}  // namespace platform
}  // namespace qndx
