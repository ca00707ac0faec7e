// Storage of the engine's default strings (see Defaults.h).
#include "Defaults.h"

namespace {
char s_DefaultWindowTitle[] = "Quendrix Window";
char s_ConfigDir[] = ".\\cfg";
char s_ScreenshotDir[] = ".\\sshots";
char s_SoundDir[] = ".\\sounds";
char s_GraphicsDir[] = ".\\graphics";
char s_DebugDir[] = ".\\debug";
}  // namespace

char* g_szDefaultWindowTitle = s_DefaultWindowTitle;
char* g_szConfigDir = s_ConfigDir;
char* g_szScreenshotDir = s_ScreenshotDir;
char* g_szSoundDir = s_SoundDir;
char* g_szGraphicsDir = s_GraphicsDir;
char* g_szDebugDir = s_DebugDir;
