// Identifiers and predefined data formats of the DirectInput stand-in. The
// values are this layer's own; only their identity matters to callers.
#include "platform/DirectInput.h"

namespace {

constexpr GUID MakeGuid(DWORD d1, WORD d2, WORD d3) {
    return GUID{d1, d2, d3, {'Q', 'N', 'D', 'X', 'D', 'I', 'N', '8'}};
}

}  // namespace

const IID IID_IDirectInput8A = MakeGuid(0x51444901, 0x0008, 0x0001);
const IID IID_IDirectInputDevice8A = MakeGuid(0x51444902, 0x0008, 0x0001);
const GUID GUID_SysKeyboard = MakeGuid(0x51444903, 0x0001, 0x0001);
const GUID GUID_SysMouse = MakeGuid(0x51444904, 0x0001, 0x0001);

const GUID DIPROP_BUFFERSIZE = MakeGuid(0x51444A01, 0x0001, 0x0000);
const GUID DIPROP_RANGE = MakeGuid(0x51444A04, 0x0004, 0x0000);
const GUID DIPROP_DEADZONE = MakeGuid(0x51444A05, 0x0005, 0x0000);
const GUID DIPROP_SATURATION = MakeGuid(0x51444A06, 0x0006, 0x0000);

// The formats carry their sizes and axis modes; the objects inside them are
// implied by the device kind, so no object table is attached.
const DIDATAFORMAT c_dfDIKeyboard = {24, 16, DIDF_RELAXIS, 256, 0, nullptr};
const DIDATAFORMAT c_dfDIMouse = {24, 16, DIDF_RELAXIS, sizeof(DIMOUSESTATE), 0, nullptr};
const DIDATAFORMAT c_dfDIMouse2 = {24, 16, DIDF_RELAXIS, sizeof(DIMOUSESTATE2), 0, nullptr};
const DIDATAFORMAT c_dfDIJoystick = {24, 16, DIDF_ABSAXIS, sizeof(DIJOYSTATE), 0, nullptr};
const DIDATAFORMAT c_dfDIJoystick2 = {24, 16, DIDF_ABSAXIS, sizeof(DIJOYSTATE2), 0, nullptr};
