// The process command line as the program's WinMain and GetCommandLineA see
// it, recorded once by main() from argc/argv.
#pragma once

#include <string>

namespace qndx {
namespace platform {

// Records "\"<absolute program path>\" args...": argv[0] made absolute
// against the current directory ("." segments dropped), or the executable's
// own path when argv[0] has no directory; arguments separated by one blank,
// quoted when they hold a blank or a tab or are empty, with embedded quotes
// escaped so the line splits back into the same arguments.
void RecordCommandLine(int argc, char** argv);

// The line RecordCommandLine would record (no side effects).
std::string BuildCommandLine(int argc, char** argv);

// The arguments part of the current command line (what follows the program
// path and its separating blanks); points into GetCommandLineA's buffer.
char* CommandLineArguments();

}  // namespace platform
}  // namespace qndx
