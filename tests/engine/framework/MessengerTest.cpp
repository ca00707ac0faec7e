// System messenger: thresholds per type, unknown types, duplicate receivers,
// positions and partial threshold updates.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "LogEngine/Log.h"
#include "SystemMessager.h"

namespace {

struct Received {
    const char* msg;
    int type;
    int level;
};

class RecordingLog : public CQNDXLog {
public:
    int OnMessage(const char* msg, int type, int level) override {
        got.push_back({msg, type, level});
        return 0;
    }
    std::vector<Received> got;
};

TEST(SystemMessenger, AllFourTypesAtLevelOneReachADefaultSubscriberAndLevelZeroNone) {
    CQNDXSystemMessagerControler m;
    RecordingLog log;
    m.Register(&log, 1, 1, 1, 1);
    m.PostInfo("i", 1);
    m.PostWarning("w", 1);
    m.PostError("e", 1);
    m.PostFatal("f", 1);
    ASSERT_EQ(log.got.size(), 4u);
    EXPECT_EQ(log.got[0].type, 1);
    EXPECT_EQ(log.got[1].type, 2);
    EXPECT_EQ(log.got[2].type, 4);
    EXPECT_EQ(log.got[3].type, 8);
    EXPECT_STREQ(log.got[2].msg, "e");

    log.got.clear();
    for (int type : {1, 2, 4, 8}) m.Post("zero", type, 0);
    EXPECT_TRUE(log.got.empty());
}

TEST(SystemMessenger, ThresholdsShutOutOrRaiseEachTypeOnItsOwn) {
    CQNDXSystemMessagerControler m;
    RecordingLog noErrors, loudInfo;
    m.Register(&noErrors, 1, 1, 0, 1);
    m.Register(&loudInfo, CQNDXMessageFilter(5, 1, 1, 1));
    for (int level = -2; level <= 100; ++level) m.PostError("e", level);
    EXPECT_TRUE(noErrors.got.empty());

    loudInfo.got.clear();
    m.PostInfo("4", 4);
    m.PostInfo("5", 5);
    m.PostInfo("9", 9);
    ASSERT_EQ(loudInfo.got.size(), 2u);
    EXPECT_EQ(loudInfo.got[0].level, 5);
    EXPECT_EQ(loudInfo.got[1].level, 9);
    // The other subscriber admits level 4 INFO as well.
    EXPECT_EQ(noErrors.got.size(), 3u);
}

TEST(SystemMessenger, TypesThatAreNotOneOfTheFourBitsReachNobody) {
    CQNDXSystemMessagerControler m;
    RecordingLog log;
    m.Register(&log, 1, 1, 1, 1);
    for (int type : {0, 3, 5, 16, 15, -1}) m.Post("x", type, 10);
    EXPECT_TRUE(log.got.empty());
}

TEST(SystemMessenger, DeliveryFollowsRegistrationOrderAndPassesTheTextUnchanged) {
    CQNDXSystemMessagerControler m;
    std::vector<int> order;
    struct Tagged : CQNDXLog {
        Tagged(std::vector<int>* o, int t) : order(o), tag(t) {}
        int OnMessage(const char*, int, int) override {
            order->push_back(tag);
            return 1;
        }
        std::vector<int>* order;
        int tag;
    };
    Tagged a(&order, 1), b(&order, 2), c(&order, 3);
    m.Register(&b, 1, 1, 1, 1);
    m.Register(&a, 1, 1, 1, 1);
    m.Register(&c, 1, 1, 1, 1);
    m.PostWarning("w", 1);
    EXPECT_EQ(order, (std::vector<int>{2, 1, 3}));

    RecordingLog log;
    CQNDXSystemMessagerControler m2;
    m2.Register(&log, 1, 1, 1, 1);
    const char* text = "same pointer";
    m2.Post(text, 1, 1);
    m2.Post(nullptr, 4, 1);
    ASSERT_EQ(log.got.size(), 2u);
    EXPECT_EQ(log.got[0].msg, text);
    EXPECT_EQ(log.got[1].msg, nullptr);
}

TEST(SystemMessenger, DuplicateReceiverGetsEachMessageTwiceAndUnregisterRemovesOnlyTheFirst) {
    CQNDXSystemMessagerControler m;
    RecordingLog log, other;
    m.Register(&log, 1, 1, 1, 1);
    m.Register(&other, 1, 1, 1, 1);
    m.Register(&log, 3, 3, 3, 3);
    EXPECT_EQ(m.GetCount(), 3);
    m.PostInfo("x", 3);
    EXPECT_EQ(log.got.size(), 2u);

    EXPECT_EQ(m.Unregister(&log), &log);
    EXPECT_EQ(m.GetCount(), 2);
    // The remaining entry is the second registration, with threshold 3.
    EXPECT_EQ(m.GetReceiver(0), &other);
    EXPECT_EQ(m.GetReceiver(1), &log);
    CQNDXMessageFilter f(0, 0, 0, 0);
    m.GetThresholds(&log, &f);
    EXPECT_EQ(f.GetInfoThreshold(), 3);

    log.got.clear();
    m.PostInfo("low", 1);
    EXPECT_TRUE(log.got.empty());

    EXPECT_EQ(m.Unregister(&log), &log);
    EXPECT_EQ(m.Unregister(&log), nullptr);
    EXPECT_EQ(m.GetCount(), 1);
}

TEST(SystemMessenger, PositionsOutsideTheListGiveNoneAndLeaveOutputsAlone) {
    CQNDXSystemMessagerControler m;
    RecordingLog a, b;
    m.Register(nullptr, 1, 1, 1, 1);
    EXPECT_EQ(m.GetCount(), 0);
    m.Register(&a, 1, 2, 3, 4);
    m.Register(&b, 5, 6, 7, 8);
    EXPECT_EQ(m.GetReceiver(0), &a);
    EXPECT_EQ(m.GetReceiver(1), &b);
    EXPECT_EQ(m.GetReceiver(m.GetCount()), nullptr);
    EXPECT_EQ(m.GetReceiver(-1), nullptr);

    CQNDXMessageFilter out(-7, -7, -7, -7);
    m.GetThresholdsAt(-1, &out);
    m.GetThresholdsAt(2, &out);
    RecordingLog stranger;
    m.GetThresholds(&stranger, &out);
    EXPECT_EQ(out.GetInfoThreshold(), -7);
    EXPECT_EQ(out.GetFatalThreshold(), -7);

    m.GetThresholdsAt(1, &out);
    EXPECT_EQ(out.GetInfoThreshold(), 5);
    EXPECT_EQ(out.GetWarningThreshold(), 6);
    EXPECT_EQ(out.GetErrorThreshold(), 7);
    EXPECT_EQ(out.GetFatalThreshold(), 8);
}

TEST(SystemMessenger, SetThresholdsCopiesOnlyTheMaskedTypes) {
    CQNDXSystemMessagerControler m;
    RecordingLog log;
    m.Register(&log, 1, 1, 1, 1);
    m.SetThresholds(&log, 0, 0, 7, 9, 12);
    CQNDXMessageFilter f;
    m.GetThresholds(&log, &f);
    EXPECT_EQ(f.GetInfoThreshold(), 1);
    EXPECT_EQ(f.GetWarningThreshold(), 1);
    EXPECT_EQ(f.GetErrorThreshold(), 7);
    EXPECT_EQ(f.GetFatalThreshold(), 9);

    m.SetThresholds(&log, CQNDXMessageFilter(0, 4, 0, 0), 2);
    m.GetThresholds(&log, &f);
    EXPECT_EQ(f.GetWarningThreshold(), 4);
    EXPECT_EQ(f.GetErrorThreshold(), 7);

    // Unknown or none receivers change nothing and do not crash.
    RecordingLog stranger;
    m.SetThresholds(&stranger, 0, 0, 0, 0, 15);
    m.SetThresholds(nullptr, 0, 0, 0, 0, 15);
    m.GetThresholds(&log, &f);
    EXPECT_EQ(f.GetInfoThreshold(), 1);
}

TEST(SystemMessenger, FilterDefaultsAndDumpTag) {
    CQNDXMessageFilter f;
    EXPECT_EQ(f.GetInfoThreshold(), 1);
    EXPECT_EQ(f.GetWarningThreshold(), 1);
    EXPECT_EQ(f.GetErrorThreshold(), 1);
    EXPECT_EQ(f.GetFatalThreshold(), 1);

    CQNDXSystemMessagerControler m;
    std::ostringstream os;
    m.Dump(os);
    std::ostringstream address;
    address << static_cast<const void*>(&m);
    EXPECT_EQ(os.str(), "CQNDXSystemMessagerControler@" + address.str());
}

}  // namespace

namespace {

// Unregisters another receiver (or itself) when it is told a message.
class UnregisteringLog : public CQNDXLog {
public:
    UnregisteringLog(CQNDXSystemMessagerControler* m, CQNDXLog* victim) : m_m(m), m_victim(victim ? victim : this) {}
    int OnMessage(const char*, int, int) override {
        ++calls;
        m_m->Unregister(m_victim);
        return 0;
    }
    int calls = 0;

private:
    CQNDXSystemMessagerControler* m_m;
    CQNDXLog* m_victim;  // this receiver itself when none is given
};

TEST(SystemMessenger, AReceiverMayUnregisterTheNextOneOrItselfWhileBeingTold) {
    CQNDXSystemMessagerControler m;
    RecordingLog later;
    UnregisteringLog first(&m, &later);
    m.Register(&first, 1, 1, 1, 1);
    m.Register(&later, 1, 1, 1, 1);
    m.PostInfo("gone before its turn", 1);
    EXPECT_EQ(first.calls, 1);
    EXPECT_TRUE(later.got.empty());
    EXPECT_EQ(m.GetCount(), 1);

    UnregisteringLog self(&m, nullptr);
    m.Register(&self, 1, 1, 1, 1);
    m.PostInfo("leaves on its own message", 1);
    EXPECT_EQ(self.calls, 1);
    EXPECT_EQ(m.GetCount(), 1);
}

}  // namespace
