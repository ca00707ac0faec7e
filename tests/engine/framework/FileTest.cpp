// File wrapper: open modes, positions, short reads and the little-endian
// fixed-width helpers.
#include <gtest/gtest.h>

#include <string>

#include "FrameworkTestUtil.h"
#include "Util/File.h"
#include "platform/Kernel.h"

using qndx_test::ReadAll;
using qndx::test::TempDir;
using qndx_test::WriteAll;

namespace {

TEST(FileOpen, MissingFileLeavesTheObjectClosed) {
    TempDir dir;
    CQNDXFile f;
    EXPECT_EQ(f.IsOpen(), 0);
    EXPECT_EQ(f.OpenRead((dir / "missing.bin").c_str()), -1);
    EXPECT_EQ(f.IsOpen(), 0);
    EXPECT_EQ(f.GetSize(), 0u);
    EXPECT_EQ(f.Tell(), 0u);
    EXPECT_EQ(f.Seek(5, FILE_BEGIN), 0u);
    char buf[4];
    EXPECT_EQ(f.Read(buf, 4), 0u);
    EXPECT_EQ(f.Write("abcd", 4), 0u);
    EXPECT_EQ(f.ReadUInt32(), 0u);
    EXPECT_EQ(f.OpenRead(nullptr), -1);
    EXPECT_EQ(f.OpenRead(dir.path().c_str()), -1);  // a directory is not a file
}

TEST(FileOpen, WriteModesKeepContentAndStartAtZero) {
    TempDir dir;
    const std::string path = dir / "keep.bin";
    WriteAll(path, "0123456789");
    {
        CQNDXFile f;
        ASSERT_EQ(f.OpenWrite(path.c_str()), 0);
        EXPECT_EQ(f.Tell(), 0u);
        EXPECT_EQ(f.GetSize(), 10u);
        EXPECT_EQ(f.Write("ab", 2), 2u);
    }
    EXPECT_EQ(ReadAll(path), "ab23456789");

    const std::string created = dir / "new.bin";
    {
        CQNDXFile f;
        ASSERT_EQ(f.OpenReadWrite(created.c_str()), 0);
        EXPECT_EQ(f.WriteUInt32(0xA1B2C3D4u), 4u);
        f.SeekToBegin();
        EXPECT_EQ(f.ReadUInt32(), 0xA1B2C3D4u);
        // Reopening closes the first handle and opens the other file.
        ASSERT_EQ(f.OpenRead(path.c_str()), 0);
        EXPECT_EQ(f.ReadUInt8(), 'a');
    }
    EXPECT_EQ(ReadAll(created), std::string("\xD4\xC3\xB2\xA1", 4));
}

TEST(FilePosition, SeekOriginsTellAndShortReadAtTheEnd) {
    TempDir dir;
    const std::string path = dir / "data.bin";
    std::string bytes;
    for (int i = 0; i < 200; ++i) bytes.push_back((char)i);
    WriteAll(path, bytes);

    CQNDXFile f;
    ASSERT_EQ(f.OpenRead(path.c_str()), 0);
    EXPECT_EQ(f.GetSize(), 200u);
    EXPECT_EQ(f.Seek(50, FILE_BEGIN), 50u);
    EXPECT_EQ(f.Seek(-20, FILE_CURRENT), 30u);
    EXPECT_EQ(f.Tell(), 30u);
    EXPECT_EQ(f.ReadUInt8(), 30);
    EXPECT_EQ(f.Seek(-10, FILE_END), 190u);

    unsigned char buf[100];
    EXPECT_EQ(f.Read(buf, 100), 10u);
    EXPECT_EQ(buf[0], 190);
    EXPECT_EQ(buf[9], 199);
    EXPECT_EQ(f.Read(buf, 100), 0u);

    f.SeekToBegin();
    EXPECT_EQ(f.Tell(), 0u);
    f.SeekToEnd();
    EXPECT_EQ(f.Tell(), 200u);

    // A value that the file cannot complete reads as 0.
    f.Seek(-3, FILE_END);
    EXPECT_EQ(f.ReadUInt32(), 0u);

    f.Close();
    EXPECT_EQ(f.IsOpen(), 0);
    EXPECT_EQ(f.Tell(), 0u);
    EXPECT_EQ(f.GetSize(), 0u);
}

TEST(FileValues, FixedWidthValuesAreLittleEndianAndRoundTrip) {
    TempDir dir;
    const std::string path = dir / "values.bin";
    {
        CQNDXFile f;
        ASSERT_EQ(f.OpenWrite(path.c_str()), 0);
        EXPECT_EQ(f.WriteUInt16(0x1234), 2u);
        EXPECT_EQ(f.WriteInt8(-2), 1u);
        EXPECT_EQ(f.WriteUInt8(0xFE), 1u);
        EXPECT_EQ(f.WriteInt16(-3), 2u);
        EXPECT_EQ(f.WriteInt32(-123456789), 4u);
        EXPECT_EQ(f.WriteUInt32(0x01020304u), 4u);
        EXPECT_EQ(f.WriteInt64(-5), 8u);
        EXPECT_EQ(f.WriteUInt64(0x0102030405060708ull), 8u);
    }
    const std::string raw = ReadAll(path);
    ASSERT_EQ(raw.size(), 30u);
    EXPECT_EQ(raw.substr(0, 2), std::string("\x34\x12", 2));
    EXPECT_EQ(raw.substr(10, 4), std::string("\x04\x03\x02\x01", 4));
    EXPECT_EQ(raw.substr(22, 8), std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8));

    CQNDXFile f;
    ASSERT_EQ(f.OpenRead(path.c_str()), 0);
    EXPECT_EQ(f.ReadUInt16(), 0x1234);
    EXPECT_EQ(f.ReadInt8(), -2);
    EXPECT_EQ(f.ReadUInt8(), 0xFE);
    EXPECT_EQ(f.ReadInt16(), -3);
    EXPECT_EQ(f.ReadInt32(), -123456789);
    EXPECT_EQ(f.ReadUInt32(), 0x01020304u);
    EXPECT_EQ(f.ReadInt64(), -5);
    EXPECT_EQ(f.ReadUInt64(), 0x0102030405060708ull);
    EXPECT_EQ(f.ReadUInt8(), 0);  // past the end
}

}  // namespace
