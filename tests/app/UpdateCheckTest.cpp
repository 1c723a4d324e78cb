#include "app/UpdateCheck.h"

#include <gtest/gtest.h>

#include <regex>

#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimHttpClient.h"
#include "platform/sim/SimMainLoop.h"
#include "settings/SettingsKeys.h"

namespace ambleguard {
namespace {

// The check's own decisions on the simulated network; the real network stack is tested
// against a loopback server with the Linux adapters.
class UpdateCheckTest : public ::testing::Test {
  protected:
    UpdateCheck& make(std::optional<std::string> build = "57",
                      std::string endpoint = "https://updates.example.test") {
        updates.emplace(
            http, loop, settings, log,
            ProgramInfo{std::move(build), std::move(endpoint), "https://example.test/download"});
        return *updates;
    }
    void run(HttpResult answer) {
        http.answerWith(std::move(answer));
        updates->checkForUpdates();
        loop.runDue();
    }

    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::SimHttpClient http{loop};
    sim::RecordingLogSink log;
    sim::MemorySettings persistence;
    SettingsStore settings{persistence, log};
    std::optional<UpdateCheck> updates;
};

TEST_F(UpdateCheckTest, TheClientIdentifierIsRandomMadeOnceAndStored) {
    auto& check = make();
    run(HttpResponse{200, "57"});
    run(HttpResponse{200, "57"});
    ASSERT_EQ(http.requests().size(), 2u);
    const auto id = settings.stringForKey(keys::updateClientIdentifier);
    ASSERT_TRUE(id);
    EXPECT_TRUE(std::regex_match(
        *id, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}")));
    EXPECT_EQ(http.requests()[0], "https://updates.example.test/api/version?client=" + *id);
    EXPECT_EQ(http.requests()[1], http.requests()[0]);

    // Whatever else was put under the key is not sent: a fresh identifier replaces it.
    settings.setString(keys::updateClientIdentifier, "alex@example.com");
    EXPECT_NE(check.clientIdentifier(), "alex@example.com");
    EXPECT_NE(settings.stringForKey(keys::updateClientIdentifier), "alex@example.com");
}

TEST_F(UpdateCheckTest, AnswersThatAreNotABuildNumberLeaveTheAnswerAlone) {
    auto& check = make();
    run(HttpResponse{200, "58"});
    ASSERT_TRUE(check.hasAvailableUpdate().get());

    run(HttpResponse{std::nullopt, "58"});
    EXPECT_TRUE(log.contains("Invalid response type during update check"));
    run(HttpResponse{200, std::nullopt});
    run(HttpResponse{200, std::string("5\xff", 2)});
    EXPECT_EQ(log.count("Invalid or empty build number received"), 2u);
    run(HttpResponse{200, "99999999999999999999"});
    run(HttpResponse{200, "5 8"});
    EXPECT_EQ(log.count("Invalid build number format"), 2u);
    run(failure("The request timed out."));
    EXPECT_TRUE(log.contains("Update check failed: The request timed out."));
    EXPECT_TRUE(check.hasAvailableUpdate().get());
}

TEST_F(UpdateCheckTest, TheRunningBuildMustBeKnownAndANumber) {
    make(std::nullopt);
    run(HttpResponse{200, "58"});
    EXPECT_TRUE(log.contains("Could not determine current build number"));

    make("1.4");
    run(HttpResponse{200, "58"});
    EXPECT_TRUE(log.contains("Invalid build number format"));

    make("-3");
    run(HttpResponse{200, "+0"});
    EXPECT_TRUE(updates->hasAvailableUpdate().get());
}

TEST_F(UpdateCheckTest, AnEndpointThatIsNoAddressStopsBeforeAnyRequest) {
    for (const char* endpoint :
         {"updates.example.test", "ftp://example.test", "https://", "https://exa mple.test",
          "https://example.test/path", "https://example.test:0", "https://example.test:70000"}) {
        make("57", endpoint);
        updates->checkForUpdates();
        EXPECT_EQ(log.count("Invalid update check URL"), 1u) << endpoint;
        log.clear();
    }
    EXPECT_TRUE(http.requests().empty());

    make("57", "http://[::1]:8080/");
    updates->checkForUpdates();
    ASSERT_EQ(http.requests().size(), 1u);
    EXPECT_TRUE(http.requests()[0].starts_with("http://[::1]:8080/api/version?client="));
}

TEST_F(UpdateCheckTest, ABuildWithoutAVersionServiceNeverChecksAndSaysNothing) {
    auto& check = make("57", "");
    EXPECT_FALSE(check.isEnabled());
    check.checkForUpdates();
    loop.runDue();
    EXPECT_TRUE(http.requests().empty());
    EXPECT_TRUE(log.entries().empty());
    EXPECT_FALSE(settings.storedValue(keys::updateClientIdentifier).has_value());
}

TEST_F(UpdateCheckTest, TheMenuEntryOpensTheDownloadPageOnlyOnceAnUpdateIsKnown) {
    auto& check = make();
    http.answerWith(HttpResponse{200, "58"});
    EXPECT_EQ(check.menuEntryChosen(), std::nullopt);
    EXPECT_EQ(http.requests().size(), 1u);
    loop.runDue();
    EXPECT_EQ(check.menuEntryChosen(), "https://example.test/download");
    EXPECT_EQ(http.requests().size(), 1u);
}

TEST_F(UpdateCheckTest, AnAnswerArrivingAfterTheCheckIsGoneIsDropped) {
    make();
    http.answerWith(HttpResponse{200, "58"});
    updates->checkForUpdates();
    updates.reset();
    loop.runDue();
    EXPECT_FALSE(log.containsFragment("Update check completed"));
}

TEST(BuildNumberTest, SignedDecimalIntegersOnly) {
    EXPECT_EQ(parseBuildNumber("58"), 58);
    EXPECT_EQ(parseBuildNumber("+58"), 58);
    EXPECT_EQ(parseBuildNumber("-7"), -7);
    EXPECT_EQ(parseBuildNumber("007"), 7);
    EXPECT_EQ(parseBuildNumber("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(parseBuildNumber("9223372036854775807"), INT64_MAX);
    for (const char* bad :
         {"", "+", "-", "+-5", "--5", "5.0", "1.2.3", " 5", "0x10", "5a", "9223372036854775808"}) {
        EXPECT_EQ(parseBuildNumber(bad), std::nullopt) << bad;
    }
}

}  // namespace
}  // namespace ambleguard
