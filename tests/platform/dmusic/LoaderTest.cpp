// The loader: the search directory, files by relative and full names (with
// the engine's backslashes and the trailing-period rule), memory
// descriptions, and the refusals.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "DMusicTestSupport.h"
#include "platform/sim/Sim.h"
#include "support/TempDir.h"

using qndx_test::Bytes;

namespace {

std::vector<WCHAR> Wide(const std::string& s) {
    std::vector<WCHAR> w(s.begin(), s.end());
    w.push_back(0);
    return w;
}

class Loading : public qndx_test::OfflinePerformance {
protected:
    void SetUp() override {
        OfflinePerformance::SetUp();
        dir = qndx::test::MakeTempDir("qndx-dmusic");
        ASSERT_FALSE(dir.empty());
        std::filesystem::create_directories(dir + "/sounds");
    }
    void TearDown() override {
        OfflinePerformance::TearDown();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    void Write(const std::string& name, const Bytes& bytes) {
        std::ofstream out(dir + "/" + name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
    }
    HRESULT SetDir(const std::string& engineDir) {
        return loader->SetSearchDirectory(GUID_DirectMusicAllTypes, Wide(engineDir).data(), FALSE);
    }
    HRESULT LoadFile(const std::string& name, IDirectMusicSegment8** seg) {
        *seg = nullptr;
        HRESULT hr = loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, Wide(name).data(),
                                                reinterpret_cast<void**>(seg));
        if (SUCCEEDED(hr)) Keep(*seg);
        return hr;
    }
    std::string dir;
};

}  // namespace

TEST_F(Loading, NamesAreFoundInTheSearchDirectoryWrittenTheEngineWay) {
    Write("sounds/water.wav", qndx_test::ConstantWave(480));
    // The engine's form: the program's directory, then ".\sounds".
    ASSERT_EQ(S_OK, SetDir(dir + ".\\sounds"));
    EXPECT_EQ(S_FALSE, SetDir(dir + ".\\sounds"));
    IDirectMusicSegment8* seg = nullptr;
    ASSERT_EQ(S_OK, LoadFile("water.wav", &seg));
    ASSERT_EQ(S_OK, Play(seg, Path(DMUS_APATH_DYNAMIC_STEREO)));
    EXPECT_EQ(480u, qndx_test::SoundEnd(Render(1000)));

    // Every load is a segment of its own.
    IDirectMusicSegment8* again = nullptr;
    ASSERT_EQ(S_OK, LoadFile("water.wav", &again));
    EXPECT_NE(seg, again);
    ASSERT_EQ(S_OK, again->SetRepeats(3));
    DWORD repeats = 9;
    ASSERT_EQ(S_OK, seg->GetRepeats(&repeats));
    EXPECT_EQ(0u, repeats);
}

TEST_F(Loading, FullPathsAndSubdirectories) {
    std::filesystem::create_directories(dir + "/sounds/sfx");
    Write("sounds/sfx/bird.wav", qndx_test::ConstantWave(10));
    ASSERT_EQ(S_OK, SetDir(dir + "/sounds"));
    IDirectMusicSegment8* seg = nullptr;
    EXPECT_EQ(S_OK, LoadFile("sfx\\bird.wav", &seg));
    EXPECT_EQ(S_OK, LoadFile(dir + "\\sounds\\sfx\\bird.wav", &seg));

    DMUS_OBJECTDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = QNDX_DMUS_OBJECTDESC_TAG;
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_FILENAME | DMUS_OBJ_FULLPATH;
    desc.guidClass = CLSID_DirectMusicSegment;
    const std::vector<WCHAR> full = Wide(dir + "/sounds/sfx/bird.wav");
    std::copy(full.begin(), full.end(), desc.wszFileName);
    ASSERT_EQ(S_OK, loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&seg)));
    Keep(seg);
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_FILENAME;
    const std::vector<WCHAR> relative = Wide("sfx\\bird.wav");
    std::copy(relative.begin(), relative.end(), desc.wszFileName);
    ASSERT_EQ(S_OK, loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&seg)));
    Keep(seg);
}

TEST_F(Loading, MissingAndUnreadableFilesFailAndLeaveNothing) {
    ASSERT_EQ(S_OK, SetDir(dir + "/sounds"));
    IDirectMusicSegment8* seg = reinterpret_cast<IDirectMusicSegment8*>(1);
    EXPECT_EQ(DMUS_E_LOADER_FAILEDOPEN, LoadFile("nothing.wav", &seg));
    EXPECT_EQ(nullptr, seg);
    std::filesystem::create_directories(dir + "/sounds/adir");
    EXPECT_EQ(DMUS_E_LOADER_FAILEDOPEN, LoadFile("adir", &seg));
    EXPECT_EQ(DMUS_E_LOADER_FAILEDOPEN, LoadFile("C:\\Windows\\media\\ding.wav", &seg));
    EXPECT_EQ(DMUS_E_LOADER_NOFILENAME, LoadFile("", &seg));
    Write("sounds/text.wav", Bytes{'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(DMUS_E_LOADER_FORMATNOTSUPPORTED, LoadFile("text.wav", &seg));
    Bytes truncated = qndx_test::ConstantWave(1000);
    truncated.resize(truncated.size() / 2);
    Write("sounds/cut.wav", truncated);
    EXPECT_EQ(DMUS_E_INVALIDFILE, LoadFile("cut.wav", &seg));
    Bytes cutMidi = qndx_test::TwoNoteTune();
    cutMidi.resize(cutMidi.size() - 3);
    Write("sounds/cut.mid", cutMidi);
    EXPECT_EQ(DMUS_E_INVALIDFILE, LoadFile("cut.mid", &seg));
    EXPECT_EQ(nullptr, seg);
}

TEST_F(Loading, TheSearchDirectoryMustExist) {
    EXPECT_EQ(DMUS_E_LOADER_BADPATH, SetDir(dir + "/nowhere"));
    EXPECT_EQ(DMUS_E_LOADER_BADPATH, SetDir("D:\\sounds"));
    EXPECT_EQ(E_POINTER, loader->SetSearchDirectory(GUID_DirectMusicAllTypes, nullptr, FALSE));
}

TEST_F(Loading, DescriptionsAreChecked) {
    const Bytes wave = qndx_test::ConstantWave(10);
    DMUS_OBJECTDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = QNDX_DMUS_OBJECTDESC_TAG;
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
    desc.guidClass = CLSID_DirectMusicSegment;
    desc.llMemLength = (LONGLONG)wave.size();
    desc.pbMemData = const_cast<BYTE*>(wave.data());
    void* out = nullptr;

    DMUS_OBJECTDESC bad = desc;
    bad.dwSize = 100;
    EXPECT_EQ(E_INVALIDARG, loader->GetObject(&bad, IID_IDirectMusicSegment8, &out));
    bad = desc;
    bad.guidClass = CLSID_DirectMusicLoader;
    EXPECT_EQ(DMUS_E_LOADER_NOCLASSID, loader->GetObject(&bad, IID_IDirectMusicSegment8, &out));
    bad = desc;
    bad.llMemLength = 0;
    EXPECT_EQ(E_INVALIDARG, loader->GetObject(&bad, IID_IDirectMusicSegment8, &out));
    bad = desc;
    bad.pbMemData = nullptr;
    EXPECT_EQ(E_INVALIDARG, loader->GetObject(&bad, IID_IDirectMusicSegment8, &out));
    bad = desc;
    bad.llMemLength = 1LL << 40;
    EXPECT_EQ(E_OUTOFMEMORY, loader->GetObject(&bad, IID_IDirectMusicSegment8, &out));
    bad = desc;
    bad.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_STREAM;
    EXPECT_EQ(E_NOTIMPL, loader->GetObject(&bad, IID_IDirectMusicSegment8, &out));
    bad.dwValidData = DMUS_OBJ_CLASS;
    EXPECT_EQ(DMUS_E_LOADER_NOFILENAME, loader->GetObject(&bad, IID_IDirectMusicSegment8, &out));
    EXPECT_EQ(E_NOINTERFACE, loader->GetObject(&desc, IID_IDirectMusicAudioPath8, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(DMUS_E_LOADER_NOCLASSID,
              loader->LoadObjectFromFile(CLSID_DirectMusicLoader, IID_IDirectMusicSegment8, Wide("x").data(), &out));

    ASSERT_EQ(S_OK, loader->GetObject(&desc, IID_IUnknown, &out));
    static_cast<IUnknown*>(out)->Release();
}

TEST_F(Loading, StandardMidiMarkBelongsToMidiSegmentsOnly) {
    IDirectMusicSegment8* wave = Segment(qndx_test::ConstantWave(10));
    IDirectMusicSegment8* midi = Segment(qndx_test::TwoNoteTune());
    EXPECT_EQ(DMUS_E_TRACK_NOT_FOUND, wave->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr));
    EXPECT_EQ(S_OK, midi->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr));
    EXPECT_EQ(DMUS_E_TRACK_NOT_FOUND, midi->SetParam(GUID_PerfMasterTempo, 0xFFFFFFFF, 0, 0, nullptr));
}

TEST_F(Loading, InjectedFailuresComeBackAsGiven) {
    qndx::sim::FailNext("IDirectMusicLoader8::LoadObjectFromFile", 1, E_OUTOFMEMORY);
    IDirectMusicSegment8* seg = nullptr;
    EXPECT_EQ(E_OUTOFMEMORY, LoadFile("x.wav", &seg));
    qndx::sim::FailNext("CoCreateInstance(DirectMusicLoader)", 1, E_OUTOFMEMORY);
    IDirectMusicLoader8* other = nullptr;
    EXPECT_EQ(E_OUTOFMEMORY, CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                                              reinterpret_cast<void**>(&other)));
    EXPECT_EQ(nullptr, other);
}
