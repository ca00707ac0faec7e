// File handles: open dispositions, reads and writes at the end of a file,
// positioning, sizes, invalid handles and injected faults.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Kernel.h"
#include "platform/sim/Sim.h"
#include "support/TempDir.h"

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.Ok()); }

    HANDLE Open(const std::string& name, DWORD access, DWORD disposition) {
        return CreateFileA(Engine(name).c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    std::string ReadAll(HANDLE h, DWORD max = 256) {
        std::string buf(max, '\0');
        DWORD got = 0;
        EXPECT_TRUE(ReadFile(h, &buf[0], max, &got, nullptr));
        buf.resize(got);
        return buf;
    }

    // Host path of a name inside the folder.
    std::string Host(const std::string& name) const { return dir / name; }
    // The same path written the engine's way, with backslashes.
    std::string Engine(const std::string& name) const {
        std::string p = Host(name);
        for (char& c : p)
            if (c == '/') c = '\\';
        return p;
    }
    void Write(const std::string& name, const std::string& content) const {
        std::ofstream(Host(name), std::ios::binary) << content;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Host(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    qndx::test::TempDir dir{"qndx-kernel"};
};

}  // namespace

TEST_F(Files, OpenExistingReadsContentAndRefusesMissingFiles) {
    Write("a.bin", "hello");
    HANDLE h = Open("a.bin", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ReadAll(h), "hello");
    EXPECT_TRUE(CloseHandle(h));

    EXPECT_EQ(Open("missing.bin", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Open("nodir\\missing.bin", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(std::filesystem::exists(Host("missing.bin")));
}

TEST_F(Files, OpenAlwaysKeepsContentAndStartsAtZero) {
    Write("keep.txt", "0123456789");
    HANDLE h = Open("keep.txt", GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 0u);
    EXPECT_EQ(GetFileSize(h, nullptr), 10u);
    DWORD wrote = 0;
    EXPECT_TRUE(WriteFile(h, "AB", 2, &wrote, nullptr));
    EXPECT_EQ(wrote, 2u);
    CloseHandle(h);
    EXPECT_EQ(Read("keep.txt"), "AB23456789");

    HANDLE fresh = Open("new.txt", GENERIC_WRITE, OPEN_ALWAYS);
    ASSERT_NE(fresh, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    CloseHandle(fresh);
    EXPECT_TRUE(std::filesystem::exists(Host("new.txt")));
}

TEST_F(Files, CreateAlwaysTruncatesAndCreateNewRefusesExisting) {
    Write("old.bmp", "a long old content");
    HANDLE h = CreateFileA(Engine("old.bmp").c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);
    DWORD wrote = 0;
    EXPECT_TRUE(WriteFile(h, "BM", 2, &wrote, nullptr));
    CloseHandle(h);
    EXPECT_EQ(Read("old.bmp"), "BM");

    EXPECT_EQ(Open("old.bmp", GENERIC_WRITE, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(Read("old.bmp"), "BM");
    HANDLE n = Open("brand.new", GENERIC_WRITE, CREATE_NEW);
    EXPECT_NE(n, INVALID_HANDLE_VALUE);
    CloseHandle(n);
}

TEST_F(Files, TruncateExistingNeedsWriteAccessAndAFile) {
    Write("t.txt", "xyz");
    EXPECT_EQ(Open("t.txt", GENERIC_READ, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Read("t.txt"), "xyz");
    EXPECT_EQ(Open("none.txt", GENERIC_WRITE, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    HANDLE h = Open("t.txt", GENERIC_WRITE, TRUNCATE_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_EQ(Read("t.txt"), "");
    EXPECT_EQ(Open("t.txt", GENERIC_READ, 99), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(Files, DirectoriesAndDevicesAreRefused) {
    ASSERT_EQ(mkdir(Host("sub").c_str(), 0777), 0);
    for (DWORD disposition : {OPEN_EXISTING, OPEN_ALWAYS, CREATE_ALWAYS}) {
        EXPECT_EQ(Open("sub", GENERIC_READ, disposition), INVALID_HANDLE_VALUE) << disposition;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    EXPECT_TRUE(std::filesystem::is_directory(Host("sub")));
    EXPECT_EQ(CreateFileA("/dev/null", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    // A pipe nobody writes to must not block the open.
    ASSERT_EQ(mkfifo(Host("fifo").c_str(), 0600), 0);
    EXPECT_EQ(Open("fifo", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
}

TEST_F(Files, EngineStylePathsAreTranslated) {
    ASSERT_EQ(mkdir(Host("sounds").c_str(), 0777), 0);
    Write("sounds/w.wav", "RIFF");
    // "dir.\name" names dir/name, as the engine's directory joins produce.
    std::string name = Engine("sounds") + ".\\w.wav";
    HANDLE h = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(h), "RIFF");
    CloseHandle(h);
    EXPECT_EQ(CreateFileA("C:\\x.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA("", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
}

TEST_F(Files, ShortReadAtEndIsASuccess) {
    std::string content(110, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 26);
    Write("img.bin", content);
    HANDLE h = Open("img.bin", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(h, -10, nullptr, FILE_END), 100u);
    char buf[100];
    DWORD got = 12345;
    EXPECT_TRUE(ReadFile(h, buf, 100, &got, nullptr));
    EXPECT_EQ(got, 10u);
    EXPECT_EQ(std::string(buf, 10), content.substr(100));
    got = 12345;
    EXPECT_TRUE(ReadFile(h, buf, 100, &got, nullptr));
    EXPECT_EQ(got, 0u);
    // Zero bytes asked, null buffer: nothing to do, still a success.
    EXPECT_TRUE(ReadFile(h, nullptr, 0, &got, nullptr));
    CloseHandle(h);
}

TEST_F(Files, TransfersNeedTheMatchingAccess) {
    Write("r.txt", "data");
    HANDLE r = Open("r.txt", GENERIC_READ, OPEN_EXISTING);
    DWORD n = 7;
    EXPECT_FALSE(WriteFile(r, "x", 1, &n, nullptr));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(r);
    HANDLE w = Open("r.txt", GENERIC_WRITE, OPEN_EXISTING);
    char c;
    EXPECT_FALSE(ReadFile(w, &c, 1, &n, nullptr));
    EXPECT_FALSE(WriteFile(w, nullptr, 4, &n, nullptr));
    CloseHandle(w);
    EXPECT_EQ(Read("r.txt"), "data");
    // CREATE_ALWAYS for reading empties the file but still refuses writes.
    HANDLE cr = Open("r.txt", GENERIC_READ, CREATE_ALWAYS);
    ASSERT_NE(cr, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFile(cr, "x", 1, &n, nullptr));
    CloseHandle(cr);
    EXPECT_EQ(Read("r.txt"), "");
}

TEST_F(Files, InvalidAndClosedHandlesFailCleanly) {
    char buf[4];
    DWORD n = 99;
    for (HANDLE bad : {INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr), reinterpret_cast<HANDLE>(0x1234567)}) {
        EXPECT_FALSE(ReadFile(bad, buf, 4, &n, nullptr));
        EXPECT_EQ(n, 0u);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(WriteFile(bad, buf, 4, &n, nullptr));
        EXPECT_EQ(SetFilePointer(bad, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
        EXPECT_EQ(GetFileSize(bad, nullptr), INVALID_FILE_SIZE);
        EXPECT_FALSE(CloseHandle(bad));
    }
    Write("c.txt", "c");
    HANDLE h = Open("c.txt", GENERIC_READ, OPEN_EXISTING);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_FALSE(ReadFile(h, buf, 1, &n, nullptr));
    // A later open never gets the closed value back.
    HANDLE again = Open("c.txt", GENERIC_READ, OPEN_EXISTING);
    EXPECT_NE(again, h);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

TEST_F(Files, SetFilePointerModesAndErrors) {
    Write("p.bin", "0123456789");
    HANDLE h = Open("p.bin", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(h, 4, nullptr, FILE_BEGIN), 4u);
    EXPECT_EQ(SetFilePointer(h, 2, nullptr, FILE_CURRENT), 6u);
    EXPECT_EQ(SetFilePointer(h, -3, nullptr, FILE_CURRENT), 3u);
    char c = 0;
    DWORD n = 0;
    EXPECT_TRUE(ReadFile(h, &c, 1, &n, nullptr));
    EXPECT_EQ(c, '3');
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_END), 10u);
    // Past the end is allowed; before the start is not and leaves the position.
    EXPECT_EQ(SetFilePointer(h, 5, nullptr, FILE_END), 15u);
    EXPECT_EQ(SetFilePointer(h, -16, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 15u);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // The high part widens the distance to 64 bits.
    LONG high = 0;
    EXPECT_EQ(SetFilePointer(h, 7, &high, FILE_BEGIN), 7u);
    EXPECT_EQ(high, 0);
    high = -1;  // -1 as a 64-bit distance
    EXPECT_EQ(SetFilePointer(h, -1, &high, FILE_CURRENT), 6u);
    EXPECT_EQ(high, 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    high = 1;  // 4 GiB + 2: fine with a high part, refused without one
    EXPECT_EQ(SetFilePointer(h, 2, &high, FILE_BEGIN), 2u);
    EXPECT_EQ(high, 1);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    CloseHandle(h);
}

TEST_F(Files, GetFileSizeReportsTheHighPart) {
    Write("s.bin", std::string(300, 'x'));
    HANDLE h = Open("s.bin", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    DWORD high = 77;
    EXPECT_EQ(GetFileSize(h, &high), 300u);
    EXPECT_EQ(high, 0u);
    // A write past the end grows the file.
    SetFilePointer(h, 1000, nullptr, FILE_BEGIN);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, "z", 1, &n, nullptr));
    EXPECT_EQ(GetFileSize(h, nullptr), 1001u);
    CloseHandle(h);
}

TEST_F(Files, OverlappedOffsetsPositionTheTransfer) {
    Write("o.bin", "abcdefgh");
    HANDLE h = Open("o.bin", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    OVERLAPPED at{};
    at.Offset = 5;
    char buf[8] = {};
    DWORD n = 0;
    EXPECT_TRUE(ReadFile(h, buf, 8, &n, &at));
    EXPECT_EQ(std::string(buf, n), "fgh");
    at.Offset = 1;
    EXPECT_TRUE(WriteFile(h, "XY", 2, &n, &at));
    CloseHandle(h);
    EXPECT_EQ(Read("o.bin"), "aXYdefgh");
}

TEST_F(Files, InjectedFaultsFailOnceWithTheirCode) {
    Write("f.txt", "f");
    qndx::sim::FailNext("CreateFileA", 1, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(Open("f.txt", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    HANDLE h = Open("f.txt", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    qndx::sim::FailNext("ReadFile", 1, ERROR_GEN_FAILURE);
    char c;
    DWORD n = 5;
    EXPECT_FALSE(ReadFile(h, &c, 1, &n, nullptr));
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(ReadFile(h, &c, 1, &n, nullptr));
    EXPECT_EQ(n, 1u);
    CloseHandle(h);
}

TEST_F(Files, JournalNamesTheOpenedFile) {
    qndx::sim::EnableJournal(true);
    Write("j.txt", "j");
    HANDLE h = Open("j.txt", GENERIC_READ, OPEN_EXISTING);
    CloseHandle(h);
    EXPECT_EQ(qndx::sim::JournalCount("CreateFileA(\""), 1);
    auto entries = qndx::sim::JournalEntries();
    ASSERT_FALSE(entries.empty());
    EXPECT_NE(entries.back().find("j.txt"), std::string::npos);
}

TEST_F(Files, DirectoriesAreCreatedAndEntered) {
    std::string sub = Engine("made");
    EXPECT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    EXPECT_TRUE(std::filesystem::is_directory(Host("made")));
    EXPECT_FALSE(CreateDirectoryA(sub.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryA((Engine("no") + "\\deeper").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(CreateDirectoryA("C:\\Games\\debug", nullptr));
    EXPECT_FALSE(CreateDirectoryA(nullptr, nullptr));

    char before[4096];
    ASSERT_GT(GetCurrentDirectoryA(sizeof before, before), 0u);
    EXPECT_TRUE(SetCurrentDirectoryA(sub.c_str()));
    // Relative engine paths now land inside it.
    EXPECT_TRUE(CreateDirectoryA(".\\debug", nullptr));
    EXPECT_TRUE(std::filesystem::is_directory(Host("made/debug")));
    char now[4096];
    DWORD len = GetCurrentDirectoryA(sizeof now, now);
    EXPECT_EQ(len, std::strlen(now));
    EXPECT_EQ(std::filesystem::canonical(now), std::filesystem::canonical(Host("made")));
    // Too small a buffer: the size needed, terminator included.
    char tiny[2];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof tiny, tiny), len + 1);

    // A drive-letter directory fails and leaves the current one alone.
    EXPECT_FALSE(SetCurrentDirectoryA("C:\\Games\\My Game"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(SetCurrentDirectoryA(Engine("absent").c_str()));
    EXPECT_FALSE(SetCurrentDirectoryA(nullptr));
    EXPECT_EQ(GetCurrentDirectoryA(sizeof now, now), len);
    EXPECT_TRUE(SetCurrentDirectoryA(before));
}

// A view holds the file's bytes (checked against a read of the same file),
// outlives its mapping and file handles, and goes with UnmapViewOfFile; what
// is not supported is refused with its reason, and a mapping handle serves
// no file call.
TEST_F(Files, ReadOnlyViewsHoldTheWholeFile) {
    std::string content(70000, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = (char)(i * 131 + (i >> 9));
    Write("m.bin", content);
    Write("empty.bin", "");
    HANDLE h = Open("m.bin", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    HANDLE m = CreateFileMappingA(h, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(nullptr, CreateFileMappingA(h, nullptr, 0x04, 0, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    void* whole = MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0);
    void* part = MapViewOfFile(m, FILE_MAP_READ, 0, 0, 100);
    ASSERT_NE(whole, nullptr);
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(nullptr, MapViewOfFile(m, FILE_MAP_READ, 0, 0, content.size() + 1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_INVALID));
    EXPECT_EQ(nullptr, MapViewOfFile(m, FILE_MAP_READ, 0, 4096, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(nullptr, MapViewOfFile(h, FILE_MAP_READ, 0, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    char byte = 0;
    DWORD got = 5;
    EXPECT_FALSE(ReadFile(m, &byte, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize(m, nullptr));
    EXPECT_TRUE(CloseHandle(m));
    EXPECT_EQ(ReadAll(h, 80000), content);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(0, std::memcmp(whole, content.data(), content.size()));
    EXPECT_EQ(0, std::memcmp(part, content.data(), 100));
    EXPECT_TRUE(UnmapViewOfFile(whole));
    EXPECT_TRUE(UnmapViewOfFile(part));
    EXPECT_FALSE(UnmapViewOfFile(whole));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));

    HANDLE e = Open("empty.bin", GENERIC_READ, OPEN_EXISTING);
    EXPECT_EQ(nullptr, CreateFileMappingA(e, nullptr, PAGE_READONLY, 0, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_INVALID));
    EXPECT_TRUE(CloseHandle(e));
    HANDLE w = Open("m.bin", GENERIC_WRITE, OPEN_EXISTING);
    EXPECT_EQ(nullptr, CreateFileMappingA(w, nullptr, PAGE_READONLY, 0, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CloseHandle(w));
    EXPECT_EQ(nullptr, CreateFileMappingA(h, nullptr, PAGE_READONLY, 0, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}
