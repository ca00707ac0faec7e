// Operations whose implementation arrives with a later part of the graphics
// engine report that they are missing instead of pretending to succeed. The
// first call of each logs an error; every call returns the failure.
#pragma once

namespace qndx {
namespace gfx {

// Logs "<what> is not available yet" once per `what` (a string literal).
void ReportNotAvailable(const char* what);

}  // namespace gfx
}  // namespace qndx
