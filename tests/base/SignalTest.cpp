#include "base/Signal.h"

#include <gtest/gtest.h>

#include <optional>

namespace ambleguard {
namespace {

TEST(SignalTest, ObserversMayDisconnectAndReenterWhileBeingCalled) {
    Signal<int> signal;
    std::vector<std::string> calls;
    std::optional<Connection> second;
    Connection first = signal.connect([&](int v) {
        calls.push_back("first " + std::to_string(v));
        second.reset();  // disconnect a later observer mid-emit
        if (v == 1)
            signal.emit(2);
    });
    second.emplace(signal.connect([&](int v) { calls.push_back("second " + std::to_string(v)); }));
    signal.emit(1);
    EXPECT_EQ(calls, (std::vector<std::string>{"first 1", "first 2"}));
}

TEST(SignalTest, ConnectionOutlivingItsSignalIsHarmless) {
    Connection connection;
    {
        Signal<> signal;
        connection = signal.connect([] {});
    }
    connection.reset();
    SUCCEED();
}

}  // namespace
}  // namespace ambleguard
