// The per-frame present with its statistics overlay, and the fades. Not built
// yet: every operation reports that and fails.
#include "GraphicEngine/NotAvailable.h"
#include "GraphicEngine/VideoEngine.h"

HRESULT CQNDXVideoEngine::Flip() {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::Flip");
    return -1;
}

void CQNDXVideoEngine::WaitForVerticalBlank() { qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::WaitForVerticalBlank"); }

int CQNDXVideoEngine::FadeIn(unsigned short) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::FadeIn");
    return -1;
}

int CQNDXVideoEngine::FadeOut(unsigned short) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::FadeOut");
    return -1;
}
