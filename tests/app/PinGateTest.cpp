#include "app/PinGate.h"
#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

namespace ambleguard {
namespace {

class PinGateTest : public ::testing::Test {
  protected:
    sim::MemorySettings persistence;
    sim::RecordingLogSink log;
    SettingsStore settings{persistence, log};
    PinGate gate{settings};
    int ran = 0;
    std::function<void()> action = [this] { ++ran; };
};

TEST_F(PinGateTest, DigestIsLowerCaseHexOfTheUtf8Bytes) {
    EXPECT_EQ(PinGate::digest("1234"),
              "03ac674216f3e15c761ee1a5e255f067953623c8b388b4459e13f978d7c846f4");
    EXPECT_EQ(PinGate::digest("1234"), PinGate::digest("1234"));
}

TEST_F(PinGateTest, RunsAtOnceUnlessEnabledWithAStoredPin) {
    settings.setBool(keys::isPinEnabled, true);
    EXPECT_FALSE(gate.ask(action));  // enabled, but no PIN ever set
    settings.setString(keys::hashedPIN, "");
    EXPECT_FALSE(gate.ask(action));  // the reset's empty digest opens the gate
    gate.setNewPin("1234");
    settings.setBool(keys::isPinEnabled, false);
    EXPECT_FALSE(gate.ask(action));  // a PIN, switched off
    EXPECT_EQ(ran, 3);
}

TEST_F(PinGateTest, OnlyTheRightPinRunsTheWaitingActionAndOnlyOnce) {
    gate.setNewPin("1234");
    settings.setBool(keys::isPinEnabled, true);
    ASSERT_TRUE(gate.ask(action));
    gate.handlePinInput("123");  // three characters from Confirm
    EXPECT_EQ(ran, 0);
    EXPECT_FALSE(gate.isWaiting());  // a wrong PIN drops the action
    gate.handlePinInput("1234");
    EXPECT_EQ(ran, 0);

    ASSERT_TRUE(gate.ask(action));
    gate.handlePinInput("1234");
    gate.handlePinInput("1234");
    EXPECT_EQ(ran, 1);
}

TEST_F(PinGateTest, TurningThePinOffForgetsTheDigest) {
    gate.setNewPin("0000");
    EXPECT_TRUE(gate.hasPin());
    gate.disablePin();
    EXPECT_FALSE(gate.hasPin());
    EXPECT_FALSE(settings.storedValue(keys::hashedPIN).has_value());
}

}  // namespace
}  // namespace ambleguard
