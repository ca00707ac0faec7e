// BMP saving and alpha-mask files of a surface. Not built yet: both
// operations report that and fail. (SetAlphaMask lives in Surface.cpp.)
#include "GraphicEngine/NotAvailable.h"
#include "GraphicEngine/Surface.h"

int CQNDXSurface::SaveBMP(const char* fileName) {
    if (!fileName) return -1;
    qndx::gfx::ReportNotAvailable("CQNDXSurface::SaveBMP");
    return -2;
}

int CQNDXSurface::LoadAlphaMask(const char*) {
    qndx::gfx::ReportNotAvailable("CQNDXSurface::LoadAlphaMask");
    return 0;
}
