// Display creation: windowed and full-screen displays with their engine
// surfaces and helpers, the third surface, restoring lost engine surfaces and
// switching modes. Not built yet: every operation reports that and fails.
#include "GraphicEngine/NotAvailable.h"
#include "GraphicEngine/VideoEngine.h"

int CQNDXVideoEngine::CreateWindowed(int, int, int) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::CreateWindowed");
    return -1;
}

int CQNDXVideoEngine::CreateFullScreen(int, int, int, int, int) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::CreateFullScreen");
    return -1;
}

int CQNDXVideoEngine::RecreateSurfaces(int) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::RecreateSurfaces");
    return -1;
}

HRESULT CQNDXVideoEngine::RestoreSurfaces() {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::RestoreSurfaces");
    return -1;
}

int CQNDXVideoEngine::SwitchMode(bool, int, int, int) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::SwitchMode");
    return -1;
}
