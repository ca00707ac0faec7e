// Memory streams over global memory blocks: reading, seeking, growing, and
// who frees the block.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/Kernel.h"
#include "platform/OlePicture.h"
#include "platform/sim/Sim.h"

namespace {

HGLOBAL BlockWith(const std::vector<uint8_t>& bytes) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    void* p = GlobalLock(h);
    std::memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(h);
    return h;
}

LARGE_INTEGER Offset(LONGLONG v) {
    LARGE_INTEGER li;
    li.QuadPart = v;
    return li;
}

std::vector<uint8_t> Bytes(int n) {
    std::vector<uint8_t> v((size_t)n);
    for (int i = 0; i < n; ++i) v[(size_t)i] = (uint8_t)(i * 7 + 1);
    return v;
}

TEST(MemoryStream, ReadsTheBlockInPiecesAndReportsTheShortLastRead) {
    std::vector<uint8_t> data = Bytes(10);
    IStream* s = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(BlockWith(data), TRUE, &s));
    uint8_t buf[8] = {};
    ULONG got = 99;
    EXPECT_EQ(S_OK, s->Read(buf, 6, &got));
    EXPECT_EQ(6u, got);
    EXPECT_EQ(0, std::memcmp(buf, data.data(), 6));
    EXPECT_EQ(S_FALSE, s->Read(buf, 8, &got));
    EXPECT_EQ(4u, got);
    EXPECT_EQ(0, std::memcmp(buf, data.data() + 6, 4));
    EXPECT_EQ(S_FALSE, s->Read(buf, 8, &got));
    EXPECT_EQ(0u, got);
    EXPECT_EQ(0u, s->Release());
}

TEST(MemoryStream, SeeksFromEachOriginAndRefusesNegativePositions) {
    std::vector<uint8_t> data = Bytes(20);
    IStream* s = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(BlockWith(data), TRUE, &s));
    ULARGE_INTEGER pos;
    EXPECT_EQ(S_OK, s->Seek(Offset(5), STREAM_SEEK_SET, &pos));
    EXPECT_EQ(5u, pos.QuadPart);
    EXPECT_EQ(S_OK, s->Seek(Offset(3), STREAM_SEEK_CUR, &pos));
    EXPECT_EQ(8u, pos.QuadPart);
    EXPECT_EQ(S_OK, s->Seek(Offset(-2), STREAM_SEEK_END, &pos));
    EXPECT_EQ(18u, pos.QuadPart);
    uint8_t b[4];
    ULONG got = 0;
    s->Read(b, 4, &got);
    ASSERT_EQ(2u, got);
    EXPECT_EQ(data[18], b[0]);

    EXPECT_LT(s->Seek(Offset(-1), STREAM_SEEK_SET, &pos), 0);
    EXPECT_LT(s->Seek(Offset(0), 7, &pos), 0);
    // A failed seek leaves the position alone.
    EXPECT_EQ(S_OK, s->Seek(Offset(0), STREAM_SEEK_CUR, &pos));
    EXPECT_EQ(20u, pos.QuadPart);
    // Past the end is allowed; reads there give nothing.
    EXPECT_EQ(S_OK, s->Seek(Offset(100), STREAM_SEEK_SET, &pos));
    EXPECT_EQ(S_FALSE, s->Read(b, 4, &got));
    EXPECT_EQ(0u, got);
    // A move that would pass the largest position is refused, from any origin,
    // and the position stays.
    EXPECT_EQ(S_OK, s->Seek(Offset(INT64_MAX), STREAM_SEEK_SET, &pos));
    EXPECT_LT(s->Seek(Offset(1), STREAM_SEEK_CUR, nullptr), 0);
    EXPECT_LT(s->Seek(Offset(INT64_MAX), STREAM_SEEK_END, nullptr), 0);
    EXPECT_EQ(S_OK, s->Seek(Offset(0), STREAM_SEEK_CUR, &pos));
    EXPECT_EQ((ULONGLONG)INT64_MAX, pos.QuadPart);
    EXPECT_EQ(S_FALSE, s->Read(b, 4, &got));
    EXPECT_LT(s->Write(b, 4, &got), 0);  // no block reaches that far
    s->Release();
}

TEST(MemoryStream, WritesGrowANewStreamWhoseBlockOutlivesItWhenNotOwned) {
    IStream* s = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, FALSE, &s));
    std::vector<uint8_t> data = Bytes(300);
    ULONG written = 0;
    EXPECT_EQ(S_OK, s->Write(data.data(), 100, &written));
    EXPECT_EQ(100u, written);
    EXPECT_EQ(S_OK, s->Write(data.data() + 100, 200, &written));
    HGLOBAL block = nullptr;
    ASSERT_EQ(S_OK, GetHGlobalFromStream(s, &block));
    ASSERT_NE(nullptr, block);
    EXPECT_GE(GlobalSize(block), 300u);

    // Rewind and read back what was written.
    s->Seek(Offset(0), STREAM_SEEK_SET, nullptr);
    std::vector<uint8_t> back(300);
    ULONG got = 0;
    EXPECT_EQ(S_OK, s->Read(back.data(), 300, &got));
    EXPECT_EQ(data, back);
    s->Release();

    // Not owned: the block is still there for the caller to free.
    void* p = GlobalLock(block);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0, std::memcmp(p, data.data(), 300));
    GlobalUnlock(block);
    EXPECT_EQ(nullptr, GlobalFree(block));
}

TEST(MemoryStream, AnOwnedBlockIsFreedWithTheLastReference) {
    HGLOBAL block = BlockWith(Bytes(16));
    IStream* s = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(block, TRUE, &s));
    EXPECT_EQ(2u, s->AddRef());
    EXPECT_EQ(1u, s->Release());
    EXPECT_EQ(16u, GlobalSize(block));  // still alive while a reference remains
    void* p = nullptr;
    EXPECT_EQ(E_NOINTERFACE, s->QueryInterface(IID_IPicture, &p));
    EXPECT_EQ(0u, s->Release());
    EXPECT_EQ(0u, GlobalSize(block));  // no longer a block of the allocator
}

TEST(MemoryStream, BadArgumentsAndInjectedFaultsFailWithoutAStream) {
    EXPECT_EQ(E_INVALIDARG, CreateStreamOnHGlobal(nullptr, TRUE, nullptr));
    qndx::sim::FailNext("CreateStreamOnHGlobal", 1, E_OUTOFMEMORY);
    IStream* s = reinterpret_cast<IStream*>(1);
    EXPECT_EQ(E_OUTOFMEMORY, CreateStreamOnHGlobal(nullptr, TRUE, &s));
    EXPECT_EQ(nullptr, s);

    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(BlockWith(Bytes(4)), TRUE, &s));
    uint8_t b[4];
    ULONG got = 7;
    qndx::sim::FailNext("IStream::Read", 1, STG_E_READFAULT);
    EXPECT_EQ(STG_E_READFAULT, s->Read(b, 4, &got));
    EXPECT_EQ(0u, got);
    EXPECT_EQ(STG_E_INVALIDPOINTER, s->Read(nullptr, 4, &got));
    HGLOBAL h = reinterpret_cast<HGLOBAL>(1);
    EXPECT_EQ(E_INVALIDARG, GetHGlobalFromStream(nullptr, &h));
    EXPECT_EQ(nullptr, h);
    s->Release();
}

}  // namespace
