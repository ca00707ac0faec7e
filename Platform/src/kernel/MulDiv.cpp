// MulDiv: scaling with a 64-bit intermediate product, as picture sizes in
// HIMETRIC units are turned into pixels.
#include <climits>
#include <cstdint>

#include "platform/Kernel.h"

int MulDiv(int nNumber, int nNumerator, int nDenominator) {
    if (nDenominator == 0) return -1;
    const int64_t product = static_cast<int64_t>(nNumber) * nNumerator;
    const bool negative = (product < 0) != (nDenominator < 0);
    const uint64_t magnitude = product < 0 ? 0 - static_cast<uint64_t>(product) : static_cast<uint64_t>(product);
    const uint64_t divisor = nDenominator < 0 ? 0 - static_cast<uint64_t>(static_cast<int64_t>(nDenominator))
                                              : static_cast<uint64_t>(nDenominator);
    // Round half away from zero.
    const uint64_t quotient = (magnitude + divisor / 2) / divisor;
    if (negative) {
        if (quotient > static_cast<uint64_t>(INT_MAX) + 1) return -1;
        return static_cast<int>(-static_cast<int64_t>(quotient));
    }
    if (quotient > static_cast<uint64_t>(INT_MAX)) return -1;
    return static_cast<int>(quotient);
}
