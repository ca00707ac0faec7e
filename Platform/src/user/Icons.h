// Stock icons and cursors: LoadIconA / LoadCursorA with a NULL instance hand
// out fixed handles that point at these records, for the life of the
// process. Other areas (drawing an icon or cursor) look a handle up here.
#pragma once

#include "platform/Types.h"
#include "user/WindowBackend.h"

namespace qndx {
namespace platform {

struct StockImage {
    bool cursor;     // a cursor (LoadCursorA) or an icon (LoadIconA)
    int id;          // the stock resource id (IDC_ARROW 32512, IDI_APPLICATION 32512, ...)
    int width;       // 32 x 32, like the system metrics say
    int height;
    int hotX;        // hot spot (cursors)
    int hotY;
    PointerShape shape;  // what the host shows for a cursor
};

// The record behind a stock handle, or null for anything else.
const StockImage* LookupStockImage(const void* handle);

}  // namespace platform
}  // namespace qndx
