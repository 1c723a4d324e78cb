#include "unlock/DisplayWakeSource.h"

#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"

#include <gtest/gtest.h>

namespace ambleguard {
namespace {

ActivityRecord record(std::string name, std::string process = "proc") {
    return ActivityRecord{std::move(name), std::move(process), 42, std::nullopt, std::nullopt};
}

TEST(DisplayWakeClassify, DeviceInputNamesTheProductElseTheService) {
    EXPECT_EQ(classify(record("input.tickle service: AppleHID eventType: 3")),
              DisplayWakeSource(HumanInput{"AppleHID", 3}));
    EXPECT_EQ(classify(record("input.tickle service: AppleHID product: Magic Keyboard "
                              "eventType: +10")),
              DisplayWakeSource(HumanInput{"Magic Keyboard", 10}));
    EXPECT_EQ(classify(record("input.tickle eventType: 3x")),
              DisplayWakeSource(HumanInput{"unknown device", std::nullopt}));
    EXPECT_EQ(classify(record("input.tickle product:    eventType: -2")),
              DisplayWakeSource(HumanInput{"unknown device", -2}));
}

TEST(DisplayWakeClassify, SyntheticInputAndDeclarations) {
    EXPECT_EQ(classify(record("input.tickle.synthetic process: xdotool", "Xorg")),
              DisplayWakeSource(SyntheticInput{"xdotool"}));
    EXPECT_EQ(classify(record("input.tickle.synthetic", "Xorg")),
              DisplayWakeSource(SyntheticInput{"Xorg"}));
    EXPECT_EQ(classify(record("Playing audio", "musicplayer")),
              DisplayWakeSource(DeclaredActivity{"musicplayer", "Playing audio"}));
    // The human prefix needs its blank: anything longer is not a device's record.
    EXPECT_TRUE(std::holds_alternative<DeclaredActivity>(classify(record("input.tickles"))));
}

TEST(DisplayWakeClassify, Descriptions) {
    EXPECT_EQ(describe(HumanInput{"Keyboard", 3}), "human input from Keyboard (eventType 3)");
    EXPECT_EQ(describe(HumanInput{"Keyboard", std::nullopt}), "human input from Keyboard");
    EXPECT_EQ(describe(SyntheticInput{"xdotool"}), "synthetic input posted by xdotool");
    EXPECT_EQ(describe(DeclaredActivity{"vlc", "Playing"}), "activity declared by vlc: Playing");
}

struct FakeActivity final : UserActivity {
    Records result;
    std::string_view recordSourceName() const override { return "ListInhibitors"; }
    Records currentRecords() override { return result; }
    int declareUserActivity(std::string_view) override { return 0; }
};

TEST(DisplayWakeClassifier, OnlyRecentHumanInputCounts) {
    sim::SimClock clock;
    sim::RecordingLogSink log;
    FakeActivity activity;
    DisplayWakeClassifier classifier(activity, clock, log);
    const Instant now = clock.now();
    const Instant since = addSeconds(now, -5.0);

    auto stale = record("input.tickle product: Old Mouse");
    stale.start = addSeconds(since, -6.0);
    auto synthetic = record("input.tickle.synthetic process: bot");
    synthetic.start = now;
    auto declared = record("Playing", "vlc");
    declared.updated = now;
    auto undated = record("input.tickle product: Ghost");
    auto renewed = record("input.tickle product: Keyboard");
    renewed.start = addSeconds(since, -60.0);
    renewed.updated = addSeconds(since, 1.0);
    activity.result = {0, {stale, synthetic, declared, undated, renewed}};

    EXPECT_EQ(classifier.humanInputSince(since), DisplayWakeSource(HumanInput{"Keyboard", {}}));
    EXPECT_TRUE(log.contains("UserIsActive [proc pid 42, 11.0s ago]: human input from Old Mouse"));
    EXPECT_TRUE(log.contains("UserIsActive [proc pid 42, undated]: human input from Ghost"));
    EXPECT_EQ(log.entries().size(), 5u);

    activity.result = {0, {stale, synthetic, declared}};
    EXPECT_FALSE(classifier.humanInputSince(since));

    activity.result = {-5, {}};
    EXPECT_FALSE(classifier.humanInputSince(since));
    EXPECT_TRUE(log.contains("ListInhibitors failed: 0xfffffffb"));
}

}  // namespace
}  // namespace ambleguard
