// The single-byte code page the engine's strings use (Windows-1252), shared
// with the text renderer.
#pragma once

namespace qndx {
namespace platform {

// UTF-16 code unit for one byte of code page 0: Latin-1, except 0x80-0x9F
// which hold the code page's punctuation and letters (0x80 is the euro
// sign); the five unassigned bytes there map to the same-valued controls.
char16_t Cp1252ToUtf16(unsigned char byte);

}  // namespace platform
}  // namespace qndx
