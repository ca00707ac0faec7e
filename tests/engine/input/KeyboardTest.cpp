// The keyboard: key events from the buffered records in the order the keys
// moved, the key table and its times, re-acquisition after a loss, the
// overflow that must not leave a key down, listeners and levels.
#include <cstring>

#include "InputEngine/Keyboard.h"
#include "InputTestSupport.h"
#include "platform/DirectInput.h"
#include "platform/Kernel.h"

using input_test::Recorder;
using qndx::sim::InjectKey;

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        input_test::StartClock();
        engine = input_test::Engine();
        ASSERT_NE(nullptr, engine);
        keyboard = new CQNDXKeyboard(GUID_SysKeyboard);
        // As the engine makes it: non-exclusive, foreground, no Windows key.
        ASSERT_GE(keyboard->Create(engine, 0, 1, 1), 0);
        keyboard->AddListener(&rec);
        rec.Clear();
    }
    void TearDown() override { delete keyboard; }

    CQNDXInputEngine* engine = nullptr;
    CQNDXKeyboard* keyboard = nullptr;
    Recorder rec;
};

TEST_F(KeyboardTest, PressAndReleaseWithinOnePollArriveInOrder) {
    InjectKey(DIK_F, true);
    InjectKey(DIK_G, true);
    InjectKey(DIK_F, false);
    ASSERT_EQ(0, keyboard->Update());
    EXPECT_EQ((std::vector<std::string>{"down 33", "down 34", "up 33"}), rec.calls);
    // The table shows the moment of the poll: F up with its time never set.
    DWORD time = 12345;
    EXPECT_EQ(0, keyboard->IsKeyDown(DIK_F, &time));
    EXPECT_EQ(0u, time);
    EXPECT_EQ(0x80, keyboard->IsKeyDown(DIK_G, &time));
    EXPECT_EQ(1000u, time);
}

TEST_F(KeyboardTest, KeyRepeatsMakeNoEvents) {
    InjectKey(DIK_ESCAPE, true);
    for (int i = 0; i < 20; ++i) InjectKey(DIK_ESCAPE, true, true);
    ASSERT_EQ(0, keyboard->Update());
    qndx::sim::AdvanceFakeTimeMs(100);
    for (int i = 0; i < 20; ++i) InjectKey(DIK_ESCAPE, true, true);
    ASSERT_EQ(0, keyboard->Update());
    EXPECT_EQ((std::vector<std::string>{"down 1"}), rec.calls);
}

TEST_F(KeyboardTest, ListenersSeeTheTableOfThePollDuringTheirCall) {
    struct Asker : CQNDXKeyboardListener {
        CQNDXKeyboard* kb = nullptr;
        int seenDuringDown = -1;
        void OnKeyDown(int key) override { seenDuringDown = kb->IsKeyDown(key); }
    } asker;
    asker.kb = keyboard;
    keyboard->AddListener(&asker);
    InjectKey(DIK_A, true);
    InjectKey(DIK_A, false);
    keyboard->Update();
    EXPECT_EQ(0, asker.seenDuringDown);
    keyboard->RemoveListener(&asker);
}

TEST_F(KeyboardTest, FocusLossAndRegainResynchroniseWithoutKeyEvents) {
    InjectKey(DIK_A, true);
    keyboard->Update();
    rec.Clear();

    qndx::sim::SetInputFocus(false);
    InjectKey(DIK_A, false);
    InjectKey(DIK_B, true);
    qndx::sim::AdvanceFakeTimeMs(500);
    EXPECT_LT(keyboard->Update(), 0);  // still lost: the acquisition's failure
    EXPECT_TRUE(rec.calls.empty());

    qndx::sim::SetInputFocus(true);
    EXPECT_GE(keyboard->Update(), 0);
    EXPECT_EQ((std::vector<std::string>{"keyboard reacquired"}), rec.calls);
    DWORD time = 0;
    EXPECT_EQ(0, keyboard->IsKeyDown(DIK_A));
    EXPECT_EQ(0x80, keyboard->IsKeyDown(DIK_B, &time));
    EXPECT_EQ(1500u, time);

    // Events after the regain arrive as usual.
    rec.Clear();
    InjectKey(DIK_B, false);
    EXPECT_EQ(0, keyboard->Update());
    EXPECT_EQ((std::vector<std::string>{"up 48"}), rec.calls);
}

TEST_F(KeyboardTest, OverflowLosesNoReleaseAndNoHeldKey) {
    InjectKey(DIK_LSHIFT, true);
    keyboard->Update();
    rec.Clear();
    // 130 records for a 128-record buffer; the shift release and the
    // space press come after them and would be lost.
    for (int i = 0; i < 65; ++i) {
        InjectKey(DIK_Q, true);
        InjectKey(DIK_Q, false);
    }
    InjectKey(DIK_LSHIFT, false);
    InjectKey(DIK_SPACE, true);
    EXPECT_EQ(DI_BUFFEROVERFLOW, keyboard->Update());
    ASSERT_EQ(128u + 2u, rec.calls.size());
    EXPECT_EQ("down 16", rec.calls[0]);
    EXPECT_EQ("up 16", rec.calls[127]);
    EXPECT_EQ("up 42", rec.calls[128]);
    EXPECT_EQ("down 57", rec.calls[129]);
    EXPECT_EQ(0, keyboard->IsKeyDown(DIK_LSHIFT));

    rec.Clear();
    InjectKey(DIK_SPACE, false);
    EXPECT_EQ(0, keyboard->Update());
    EXPECT_EQ((std::vector<std::string>{"up 57"}), rec.calls);
}

TEST_F(KeyboardTest, FailedBufferedReadIsAFailure) {
    InjectKey(DIK_A, true);
    qndx::sim::FailNext("IDirectInputDevice8A::GetDeviceData", 1, DIERR_INPUTLOST);
    EXPECT_EQ(DIERR_INPUTLOST, keyboard->Update());
    // It re-acquired on the way out: nothing was delivered, the table is right.
    EXPECT_EQ((std::vector<std::string>{"keyboard reacquired"}), rec.calls);
    EXPECT_EQ(0x80, keyboard->IsKeyDown(DIK_A));
}

TEST_F(KeyboardTest, FailedStateReadAnswersWithTheReacquisition) {
    qndx::sim::FailNext("IDirectInputDevice8A::GetDeviceState", 1, DIERR_INPUTLOST);
    EXPECT_GE(keyboard->Update(), 0);
    EXPECT_EQ((std::vector<std::string>{"keyboard reacquired"}), rec.calls);
}

TEST_F(KeyboardTest, DisabledKeyboardReadsNothingUntilEnabled) {
    InjectKey(DIK_G, true);
    keyboard->SetEnabled(0);
    EXPECT_EQ(0, keyboard->Update());
    EXPECT_TRUE(rec.calls.empty());
    EXPECT_EQ(0, keyboard->IsKeyDown(DIK_G));
    keyboard->SetEnabled(1);
    keyboard->Update();
    EXPECT_EQ((std::vector<std::string>{"down 34"}), rec.calls);
}

TEST_F(KeyboardTest, KeyQueriesOutsideTheTableGiveNothing) {
    DWORD time = 77;
    EXPECT_EQ(0, keyboard->IsKeyDown(-1, &time));
    EXPECT_EQ(0, keyboard->IsKeyDown(256, &time));
    EXPECT_EQ(77u, time);
    InjectKey(DIK_RMENU, true);
    keyboard->Update();
    EXPECT_EQ(0x80, keyboard->IsKeyDown(DIK_RMENU, nullptr));
}

TEST_F(KeyboardTest, ListenersAreKeptOnceInOrder) {
    Recorder second;
    keyboard->AddListener(&second);
    keyboard->AddListener(&rec);  // already there
    keyboard->AddListener(nullptr);
    InjectKey(DIK_A, true);
    keyboard->Update();
    EXPECT_EQ(1u, rec.calls.size());
    EXPECT_EQ(1u, second.calls.size());
    keyboard->RemoveListener(&second);
    keyboard->RemoveListener(&second);  // no longer there: nothing happens
    InjectKey(DIK_A, false);
    keyboard->Update();
    EXPECT_EQ(2u, rec.calls.size());
    EXPECT_EQ(1u, second.calls.size());
    keyboard->RemoveAllListeners();
    InjectKey(DIK_A, true);
    keyboard->Update();
    EXPECT_EQ(2u, rec.calls.size());
}

TEST(KeyboardLevels, UnsupportedWishesLeaveTheDeviceFormattedButUnlevelled) {
    input_test::StartClock();
    CQNDXKeyboard kb(GUID_SysKeyboard);
    EXPECT_EQ(E_NOTIMPL, kb.Create(input_test::Engine(), 1, 0, 0));
    EXPECT_NE(nullptr, kb.GetDevice());
    EXPECT_EQ(nullptr, kb.GetInstanceName());
    EXPECT_EQ(E_NOTIMPL, kb.SetMode(2, 1, 0));
    EXPECT_EQ(-1, CQNDXKeyboard(GUID_SysKeyboard).Create(nullptr, 0, 1, 1));
    CQNDXKeyboard bare(GUID_SysKeyboard);
    EXPECT_EQ(-1, bare.Update());
    EXPECT_EQ(-1, bare.Acquire());
    EXPECT_EQ(-1, bare.SetMode(0, 1, 0));
}

TEST(KeyboardLevels, CreateAndRelevelPassTheTableFlags) {
    input_test::StartClock();
    CQNDXInputEngine* engine = input_test::Engine();
    CQNDXKeyboard kb(GUID_SysKeyboard);
    qndx::sim::EnableJournal(true);
    ASSERT_GE(kb.Create(engine, 0, 0, 1), 0);
    ASSERT_GE(kb.SetMode(0, 0, 1), 0);
    ASSERT_GE(kb.SetMode(0, 0, 0), 0);
    ASSERT_GE(kb.SetMode(0, 1, 1), 0);
    ASSERT_GE(kb.SetMode(0, 1, 0), 0);
    ASSERT_GE(kb.SetMode(1, 1, 1), 0);
    std::vector<std::string> levels;
    for (const std::string& e : qndx::sim::JournalEntries())
        if (e.rfind("IDirectInputDevice8A::SetCooperativeLevel", 0) == 0) levels.push_back(e);
    const std::string call = "IDirectInputDevice8A::SetCooperativeLevel";
    // Create ignores the Windows key in the background; re-levelling does not.
    EXPECT_EQ((std::vector<std::string>{call + "(10)", call + "(26)", call + "(10)", call + "(22)", call + "(6)",
                                        call + "(5)"}),
              levels);
    EXPECT_STREQ("Keyboard", kb.GetProductName());
    EXPECT_EQ(DI8DEVTYPE_KEYBOARD, GET_DIDEVICE_TYPE(kb.GetDeviceType()));
}
