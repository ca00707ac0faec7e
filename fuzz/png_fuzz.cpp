// Feeds the PNG decoder two kinds of input: bytes as they come (signature,
// chunk framing, CRCs), and, for inputs without the signature, a PNG built
// from the bytes (sizes, colour type, depth, interlacing, transparency and
// samples chosen by them) then cut and changed with its CRCs written again,
// so that libpng's inflate, unfiltering and transformations see damaged data.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "../tests/engine/decoders/DecoderFiles.h"
#include "FuzzSupport.h"
#include "GraphicEngine/ImageLoader/ImageLoader.h"
#include "GraphicEngine/ImageLoader/PNGImageLoader.h"

namespace {

void Decode(IDirectDraw7* dd, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return;
    // libpng reads the header chunk first, at a fixed place.
    if (bytes.size() >= 24 && std::memcmp(bytes.data() + 12, "IHDR", 4) == 0 &&
        FuzzSkipsPicture(FuzzBe32(bytes.data() + 16), FuzzBe32(bytes.data() + 20)))
        return;
    CQNDXPNGImageLoader loader;
    IDirectDrawSurface7* surface = loader.Load(dd, (unsigned)bytes.size(), bytes.data());
    if (surface) surface->Release();
}

std::vector<uint8_t> Built(const uint8_t* data, size_t size) {
    namespace ti = qndx::testimg;
    static const int types[] = {0, 2, 3, 4, 6};
    static const int depths[5][5] = {{1, 2, 4, 8, 16}, {8, 16, 8, 16, 8}, {1, 2, 4, 8, 8}, {8, 16, 8, 16, 8},
                                     {8, 16, 8, 16, 8}};
    ti::PngPicture p;
    const int t = data[2] % 5;
    p.width = 1 + data[0] % 40;
    p.height = 1 + data[1] % 40;
    p.colourType = types[t];
    p.bitDepth = depths[t][data[3] % 5];
    p.interlaced = (data[4] & 1) != 0;
    const uint32_t most = p.bitDepth == 16 ? 65536u : 1u << p.bitDepth;
    if (p.colourType == 3)
        for (uint32_t i = 0; i < most && i < 256; ++i) p.palette.push_back(i * 0x010203u);
    if (data[4] & 2) p.trns.assign(data + 5, data + 5 + (p.colourType == 3 ? data[5] % 8 + 1 : p.colourType == 2 ? 6 : 2));
    const uint8_t* samples = data + 12;
    const size_t count = size - 12;
    p.samples.resize((size_t)p.width * p.height * p.Channels());
    for (size_t i = 0; i < p.samples.size(); ++i)
        p.samples[i] = (uint16_t)((count ? samples[i % count] * 257u + i : i) % most);
    std::vector<uint8_t> file = ti::EncodePng(p);
    // One changed byte, its chunk's CRC rewritten when asked, then a cut.
    const size_t at = ((size_t)data[6] << 8 | data[7]) % file.size();
    file[at] ^= data[8];
    if (data[9] & 1) ti::FixPngCrcs(file);
    const size_t cut = ((size_t)data[10] << 8 | data[11]) % (file.size() + 1);
    if (data[9] & 2) file.resize(file.size() - cut / 8);
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > (1u << 24)) return 0;
    IDirectDraw7* dd = FuzzDirectDraw();
    CQNDXImageLoader front;
    front.DetectFormat((unsigned)size, data);
    Decode(dd, std::vector<uint8_t>(data, data + size));
    if (size >= 16 && data[0] != 0x89) Decode(dd, Built(data, size));
    return 0;
}
