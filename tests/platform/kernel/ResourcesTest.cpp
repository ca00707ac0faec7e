// Registered module resources: found by type and name, missing ones NULL.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/Kernel.h"
#include "platform/sim/Sim.h"

namespace {

// A 2x1 24-bit packed DIB: info header then two pixels (padded to 8 bytes).
std::vector<unsigned char> PackedDib() {
    std::vector<unsigned char> d(40 + 8, 0);
    d[0] = 40;
    d[4] = 2;   // width
    d[8] = 1;   // height
    d[12] = 1;  // planes
    d[14] = 24;
    d[40] = 0xFF;  // first pixel blue
    return d;
}

const unsigned char* Lookup(LPCSTR name, LPCSTR type, DWORD* size) {
    HRSRC found = FindResourceA(nullptr, name, type);
    if (!found) return nullptr;
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (!loaded) return nullptr;
    *size = SizeofResource(nullptr, found);
    return static_cast<const unsigned char*>(LockResource(loaded));
}

}  // namespace

TEST(Resources, RegisteredDataIsFoundByStringName) {
    const char wave[] = "RIFF....WAVEfmt ";
    ASSERT_TRUE(QndxRegisterResource("WAVE", "Bird", wave, sizeof wave - 1));
    DWORD size = 0;
    const unsigned char* data = Lookup("BIRD", "wave", &size);  // case does not matter
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, sizeof wave - 1);
    EXPECT_EQ(std::memcmp(data, wave, size), 0);
    // The module handle of the program is accepted too.
    EXPECT_NE(FindResourceA(GetModuleHandleA(nullptr), "bird", "WAVE"), nullptr);
}

TEST(Resources, MissingResourcesGiveNull) {
    EXPECT_EQ(FindResourceA(nullptr, "nothing", RT_BITMAP), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    ASSERT_TRUE(QndxRegisterResource("MIDI", "song", "MThd", 4));
    EXPECT_EQ(FindResourceA(nullptr, "other", "MIDI"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceA(nullptr, "song", "WAVE"), nullptr);
    EXPECT_EQ(FindResourceA(nullptr, nullptr, "MIDI"), nullptr);
    EXPECT_EQ(FindResourceA(nullptr, "song", nullptr), nullptr);
    // Another module's resources are not ours to give.
    EXPECT_EQ(FindResourceA(reinterpret_cast<HMODULE>(0x4000), "song", "MIDI"), nullptr);
    // Handles that did not come from FindResourceA are refused.
    EXPECT_EQ(LoadResource(nullptr, nullptr), nullptr);
    EXPECT_EQ(LoadResource(nullptr, reinterpret_cast<HRSRC>(0x1234)), nullptr);
    EXPECT_EQ(SizeofResource(nullptr, reinterpret_cast<HRSRC>(0x1234)), 0u);
    EXPECT_EQ(LockResource(nullptr), nullptr);
}

TEST(Resources, IntegerNamesAndTypes) {
    std::vector<unsigned char> dib = PackedDib();
    ASSERT_TRUE(QndxRegisterResource(RT_BITMAP, MAKEINTRESOURCEA(101), dib.data(), static_cast<DWORD>(dib.size())));
    DWORD size = 0;
    EXPECT_NE(Lookup(MAKEINTRESOURCEA(101), RT_BITMAP, &size), nullptr);
    EXPECT_NE(Lookup("#101", RT_BITMAP, &size), nullptr);
    EXPECT_NE(Lookup("#0101", "#2", &size), nullptr);
    EXPECT_EQ(Lookup("101", RT_BITMAP, &size), nullptr);  // a string name, not the number
    EXPECT_EQ(Lookup(MAKEINTRESOURCEA(102), RT_BITMAP, &size), nullptr);
}

TEST(Resources, BitmapsAreKeptAsPackedDibs) {
    std::vector<unsigned char> dib = PackedDib();
    std::vector<unsigned char> file = {'B', 'M'};
    file.resize(14, 0);
    file.insert(file.end(), dib.begin(), dib.end());
    ASSERT_TRUE(QndxRegisterResource(RT_BITMAP, "BKGRND", file.data(), static_cast<DWORD>(file.size())));
    DWORD size = 0;
    const unsigned char* data = Lookup("bkgrnd", RT_BITMAP, &size);
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(size, dib.size());
    EXPECT_EQ(std::memcmp(data, dib.data(), size), 0);

    // Too short, or a header size larger than the data: refused.
    EXPECT_FALSE(QndxRegisterResource(RT_BITMAP, "short", dib.data(), 8));
    std::vector<unsigned char> lying = dib;
    lying[0] = 200;
    EXPECT_FALSE(QndxRegisterResource(RT_BITMAP, "lying", lying.data(), static_cast<DWORD>(lying.size())));
    EXPECT_EQ(FindResourceA(nullptr, "lying", RT_BITMAP), nullptr);
}

TEST(Resources, DataIsCopiedAndStaysValidWhenReplaced) {
    std::string text = "first";
    ASSERT_TRUE(QndxRegisterResource(RT_RCDATA, "cfg", text.data(), static_cast<DWORD>(text.size())));
    text = "XXXXX";  // the registration made its own copy
    DWORD size = 0;
    const unsigned char* first = Lookup("cfg", RT_RCDATA, &size);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(first), size), "first");

    ASSERT_TRUE(QndxRegisterResource(RT_RCDATA, "cfg", "second!", 7));
    const unsigned char* second = Lookup("cfg", RT_RCDATA, &size);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(second), size), "second!");
    // Bytes handed out before stay readable.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(first), 5), "first");

    EXPECT_TRUE(QndxUnregisterResource(RT_RCDATA, "CFG"));
    EXPECT_EQ(FindResourceA(nullptr, "cfg", RT_RCDATA), nullptr);
    EXPECT_FALSE(QndxUnregisterResource(RT_RCDATA, "cfg"));
}

TEST(Resources, BadRegistrationsAreRefused) {
    EXPECT_FALSE(QndxRegisterResource(nullptr, "a", "x", 1));
    EXPECT_FALSE(QndxRegisterResource("WAVE", nullptr, "x", 1));
    EXPECT_FALSE(QndxRegisterResource("WAVE", "a", nullptr, 1));
    EXPECT_FALSE(QndxRegisterResource("", "a", "x", 1));
    // Empty data is a resource of size 0.
    ASSERT_TRUE(QndxRegisterResource("WAVE", "empty", nullptr, 0));
    HRSRC r = FindResourceA(nullptr, "empty", "WAVE");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, r), 0u);
    EXPECT_NE(LoadResource(nullptr, r), nullptr);
}

TEST(Resources, ResetDropsRegistrationsAndFaultsApply) {
    ASSERT_TRUE(QndxRegisterResource("WAVE", "water", "w", 1));
    qndx::sim::FailNext("LoadResource", 1, ERROR_NOT_ENOUGH_MEMORY);
    HRSRC r = FindResourceA(nullptr, "water", "WAVE");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(LoadResource(nullptr, r), nullptr);
    EXPECT_NE(LoadResource(nullptr, r), nullptr);
    qndx::sim::Reset();
    EXPECT_EQ(FindResourceA(nullptr, "water", "WAVE"), nullptr);
}
