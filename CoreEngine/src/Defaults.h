// Engine identity and the default strings shared by the framework, the log,
// the statistics overlay, the image loader and the sound engine.
#pragma once

// Short name, version and build number, printed by the log header and the
// statistics overlay.
#define QNDX_ENGINE_SHORT_NAME "QNDX"
#define QNDX_ENGINE_VERSION "0.57"
#define QNDX_ENGINE_BUILD 1

// Default window title and the program's directories, relative to its own
// directory (which the game manager makes current at start). Writable
// pointers, one each.
extern char* g_szDefaultWindowTitle;  // "Quendrix Window"
extern char* g_szConfigDir;           // ".\cfg"
extern char* g_szScreenshotDir;       // ".\sshots"
extern char* g_szSoundDir;            // ".\sounds"
extern char* g_szGraphicsDir;         // ".\graphics"
extern char* g_szDebugDir;            // ".\debug"
