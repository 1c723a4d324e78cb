#include "platform/linux/HciLinkReader.h"

#include "platform/sim/RecordingLogSink.h"
#include "support/linux/ScriptedHci.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace ambleguard::linuxdesktop {
namespace {

using test::ScriptedHci;

constexpr const char* kPhone = "AA:BB:CC:DD:EE:01";
const hci::Address kPhoneAddress = *hci::parseAddress(kPhone);
constexpr std::uint16_t kHandle = 0x0040;
constexpr std::uint8_t kAclLink = 0x01;

struct Answer {
    int rssi;
    std::optional<std::string> error;
};

class HciLinkReaderTest : public ::testing::Test {
  protected:
    void read(const char* address = kPhone, int adapter = 0) {
        reader.readRssi(adapter, address,
                        [this](int rssi, const std::optional<std::string>& error) {
                            answers.push_back({rssi, error});
                        });
    }
    std::size_t logged(std::string_view fragment) const {
        std::size_t count = 0;
        for (const auto& entry : logSink.entries()) {
            count += entry.text.find(fragment) != std::string::npos ? 1 : 0;
        }
        return count;
    }

    ScriptedHci hci;
    sim::RecordingLogSink logSink;
    HciLinkReader reader{hci, logSink};
    std::vector<Answer> answers;
};

TEST_F(HciLinkReaderTest, AsksTheKernelForTheHandleAndTakesOnlyTheAnswerForThatLink) {
    hci.links[{kPhoneAddress, hci::kLeLink}] = kHandle;
    EXPECT_TRUE(reader.usable(0));
    read();
    ASSERT_EQ(hci.sent.size(), 1u);
    EXPECT_EQ(hci.sent[0], hci::readRssiCommand(kHandle));
    EXPECT_TRUE(answers.empty());  // the controller has not answered yet

    hci.deliver({0x04, 0x05, 0x04, 0x00, 0x40, 0x00, 0x13});  // another event
    hci.deliver(ScriptedHci::readRssiComplete(0x0041, -30));  // another link
    hci.deliver({0x04, 0x0E, 0x07, 0x01, 0x05, 0x14});        // truncated
    EXPECT_TRUE(answers.empty());
    hci.deliver(ScriptedHci::readRssiComplete(kHandle, -57));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].rssi, -57);
    EXPECT_EQ(answers[0].error, std::nullopt);
    // One command, one answer: a repeated event answers nothing more.
    hci.deliver(ScriptedHci::readRssiComplete(kHandle, -58));
    EXPECT_EQ(answers.size(), 1u);
    // One socket per adapter, kept.
    read();
    EXPECT_EQ(hci.opened, (std::vector<int>{0}));
}

TEST_F(HciLinkReaderTest, FailuresAreAnsweredWithWhatWentWrong) {
    read("not an address");
    // No link at all, then a classic link only: its RSSI is not in dBm, so it is no reading.
    read();
    hci.links[{kPhoneAddress, kAclLink}] = 0x000B;
    read();
    EXPECT_TRUE(hci.sent.empty());
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[0].error, "'not an address' is not a Bluetooth address");
    EXPECT_EQ(answers[1].error, "There is no LE link to the device");
    EXPECT_EQ(answers[2].error, "The device is linked over BR/EDR, whose RSSI is not in dBm");

    // The controller refuses: with a status naming the link, or a status event naming none
    // (it answers the oldest command).
    hci.links[{kPhoneAddress, hci::kLeLink}] = kHandle;
    read();
    read();
    hci.deliver(ScriptedHci::readRssiComplete(kHandle, 0, 0x02));
    hci.deliver(ScriptedHci::readRssiRefused(0x0C));
    ASSERT_EQ(answers.size(), 5u);
    EXPECT_EQ(answers[3].error, "The controller refused HCI Read RSSI (status 0x02)");
    EXPECT_EQ(answers[4].error, "The controller refused HCI Read RSSI (status 0x0C)");
}

TEST_F(HciLinkReaderTest, ASocketThatCannotOpenMakesLinksUnreadableAndIsLoggedOnce) {
    hci.openError = EAFNOSUPPORT;
    EXPECT_FALSE(reader.usable(0));
    EXPECT_FALSE(reader.usable(0));
    read();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].error, "Link RSSI cannot be read: cannot open a raw HCI socket on hci0 (" +
                                    std::string(std::strerror(EAFNOSUPPORT)) + ")");
    EXPECT_EQ(logged("Link RSSI unavailable"), 1u);
    // Tried again each time (the adapter may come back), but never logged again.
    hci.openError = 0;
    EXPECT_TRUE(reader.usable(0));
}

TEST_F(HciLinkReaderTest, ACommandTheKernelRefusesEndsReadingOnThatAdapterForGood) {
    hci.links[{kPhoneAddress, hci::kLeLink}] = kHandle;
    read();  // waiting for its answer when the refusal comes
    hci.sendError = EPERM;
    read();
    ASSERT_EQ(answers.size(), 2u);
    const std::string refused =
        "HCI Read RSSI could not be sent on hci0: " + std::string(std::strerror(EPERM));
    EXPECT_EQ(answers[0].error, refused);
    EXPECT_EQ(answers[1].error, refused);
    EXPECT_FALSE(hci.channelOpen());
    EXPECT_FALSE(reader.usable(0));
    read();
    EXPECT_EQ(hci.opened.size(), 1u);  // not opened again
    EXPECT_EQ(logged("Link RSSI unavailable"), 1u);
    // Another adapter is another socket.
    hci.sendError = 0;
    EXPECT_TRUE(reader.usable(1));
}

TEST_F(HciLinkReaderTest, AnAdapterThatWentAwayIsReopenedOnTheNextRead) {
    hci.links[{kPhoneAddress, hci::kLeLink}] = kHandle;
    hci.sendError = ENODEV;
    read();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_TRUE(answers[0].error.has_value());
    hci.sendError = 0;
    EXPECT_TRUE(reader.usable(0));
    EXPECT_EQ(hci.opened.size(), 2u);
    EXPECT_EQ(logged("Link RSSI unavailable"), 0u);
}

TEST_F(HciLinkReaderTest, UnansweredReadsAreGivenUpOldestFirst) {
    hci.links[{kPhoneAddress, hci::kLeLink}] = kHandle;
    for (std::size_t i = 0; i < HciLinkReader::kMaxWaiting; ++i) {
        read();
    }
    EXPECT_TRUE(answers.empty());
    read();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].error, "The controller did not answer HCI Read RSSI");
    // The late answer goes to the oldest read still waiting.
    hci.deliver(ScriptedHci::readRssiComplete(kHandle, -61));
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1].rssi, -61);
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
