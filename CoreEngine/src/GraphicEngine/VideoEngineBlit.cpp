// The blit routines: plain and keyed copies (hardware and software paths),
// mirrors, stretches, blends, alpha and translucent blits. Not built yet:
// every routine reports that and fails, so a surface's blit returns -1.
#include "GraphicEngine/NotAvailable.h"
#include "GraphicEngine/VideoEngine.h"


int CQNDXVideoEngine::BlitPlain(int, CQNDXSurface*, CQNDXSurface*, int, int, const RECT*) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitPlain");
    return -1;
}

int CQNDXVideoEngine::BlitKeyed(int, CQNDXSurface*, CQNDXSurface*, int, int, const RECT*) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitKeyed");
    return -1;
}

int CQNDXVideoEngine::BlitPlainHw(int, CQNDXSurface*, CQNDXSurface*, int, int, const RECT*) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitPlainHw");
    return -1;
}

int CQNDXVideoEngine::BlitPlainSw(int, CQNDXSurface*, CQNDXSurface*, int, int, const RECT*) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitPlainSw");
    return -1;
}

int CQNDXVideoEngine::BlitKeyedHw(int, CQNDXSurface*, CQNDXSurface*, int, int, const RECT*) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitKeyedHw");
    return -1;
}

int CQNDXVideoEngine::BlitKeyedSw(int, CQNDXSurface*, CQNDXSurface*, int, int, const RECT*) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitKeyedSw");
    return -1;
}

int CQNDXVideoEngine::BlitMirrorLeftRight(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitMirrorLeftRight");
    return -1;
}

int CQNDXVideoEngine::BlitMirrorLeftRightKeyed(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitMirrorLeftRightKeyed");
    return -1;
}

int CQNDXVideoEngine::BlitMirrorUpDown(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitMirrorUpDown");
    return -1;
}

int CQNDXVideoEngine::BlitMirrorUpDownKeyed(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitMirrorUpDownKeyed");
    return -1;
}

int CQNDXVideoEngine::BlitStretch(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*, float) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitStretch");
    return -1;
}

int CQNDXVideoEngine::BlitStretchKeyed(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*, float) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitStretchKeyed");
    return -1;
}

int CQNDXVideoEngine::BlitStretchToSize(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*, int, int) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitStretchToSize");
    return -1;
}

int CQNDXVideoEngine::BlitStretchToSizeKeyed(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*, int, int) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitStretchToSizeKeyed");
    return -1;
}

int CQNDXVideoEngine::BlitBlend16(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*, WORD) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitBlend16");
    return -1;
}

int CQNDXVideoEngine::BlitHalfAlpha(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitHalfAlpha");
    return -1;
}

int CQNDXVideoEngine::BlitHalfAlphaKeyed(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitHalfAlphaKeyed");
    return -1;
}

int CQNDXVideoEngine::BlitAlpha(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*, WORD) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitAlpha");
    return -1;
}

int CQNDXVideoEngine::BlitAlphaKeyed(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*, WORD) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitAlphaKeyed");
    return -1;
}

int CQNDXVideoEngine::BlitTranslucent(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*, WORD) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitTranslucent");
    return -1;
}

int CQNDXVideoEngine::BlitTranslucentKeyed(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*, WORD) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitTranslucentKeyed");
    return -1;
}

int CQNDXVideoEngine::BlitHalfTranslucent(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitHalfTranslucent");
    return -1;
}

int CQNDXVideoEngine::BlitHalfTranslucentKeyed(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitHalfTranslucentKeyed");
    return -1;
}

int CQNDXVideoEngine::BlitHalfTranslucentKeyedAlt(CQNDXSurface*, CQNDXSurface*, int, int, const RECT*) {
    qndx::gfx::ReportNotAvailable("CQNDXVideoEngine::BlitHalfTranslucentKeyedAlt");
    return -1;
}
