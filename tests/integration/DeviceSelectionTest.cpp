#include "app/DeviceSelection.h"
#include "support/AppWorld.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ambleguard::test {
namespace {

const Uuid kUnpaired = *Uuid::parse("11111111-2222-3333-4444-555555555555");
const Uuid kPaired = *Uuid::parse("AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE");

sim::SimDeviceConfig phone(Uuid id, std::string name, bool paired) {
    sim::SimDeviceConfig device;
    device.identifier = id;
    device.name = std::move(name);
    device.rssi = {{0, -50.0, true}};
    device.privateAddressRotation = 900;
    device.paired = paired;
    return device;
}

bool listed(const std::vector<PeripheralRef>& list, const Uuid& id) {
    return std::any_of(list.begin(), list.end(),
                       [&](const PeripheralRef& p) { return p->identifier() == id; });
}

// Two phones with private addresses, one paired: the list shows the paired one first; choosing
// the unpaired one warns and the paired one does not; and past an address change only the
// paired one is still the same device.
TEST(DeviceSelection, UnpairedPhonesWithPrivateAddressesWarnAndLoseTheirIdentity) {
    sim::SimBluetoothConfig bluetooth;
    bluetooth.devices = {phone(kUnpaired, "Alex's Phone", false),
                         phone(kPaired, "Zoe's Phone", true)};
    AppWorld world(AppWorld::onboarded(), bluetooth);
    world.app->launch();
    world.platform.loop.advanceBy(10);
    auto& discovery = world.app->scanner.discovery();
    discovery.publishDeviceList();
    world.platform.loop.advanceBy(1);
    const auto list = discovery.peripherals();
    ASSERT_EQ(list.size(), 2u);
    // Paired first, although "Alex" sorts before "Zoe".
    EXPECT_EQ(list[0]->identifier(), kPaired);
    EXPECT_TRUE(list[0]->isPaired());

    DeviceSelection selection(world.app->settings, discovery, world.log);
    const auto unpaired = selection.select(*list[1]);
    EXPECT_EQ(unpaired.name, "Alex's Phone");
    ASSERT_TRUE(unpaired.warning.has_value());
    EXPECT_NE(unpaired.warning->find("not paired"), std::string::npos);
    EXPECT_EQ(world.app->settings.stringForKey(keys::checkedPeripheralUUID), kUnpaired.toString());
    EXPECT_EQ(world.app->settings.stringForKey(keys::checkedPeripheralName), "Alex's Phone");

    const auto paired = selection.select(*list[0]);
    EXPECT_FALSE(paired.warning.has_value());
    EXPECT_EQ(world.app->settings.stringForKey(keys::checkedPeripheralUUID), kPaired.toString());

    // After the address change (900 s) and the list's expiry, the unpaired phone is no longer
    // there under the identifier that was chosen; the paired one keeps its own.
    world.platform.loop.advanceBy(1000);
    discovery.publishDeviceList();
    world.platform.loop.advanceBy(1);
    const auto later = discovery.peripherals();
    EXPECT_TRUE(listed(later, kPaired));
    EXPECT_FALSE(listed(later, kUnpaired));

    // Clearing another row changes nothing; clearing the tracked one forgets it.
    selection.clear(*list[1]);
    EXPECT_TRUE(world.app->settings.stringForKey(keys::checkedPeripheralUUID).has_value());
    selection.clear(*list[0]);
    EXPECT_FALSE(world.app->settings.stringForKey(keys::checkedPeripheralUUID).has_value());
    EXPECT_FALSE(world.app->settings.stringForKey(keys::checkedPeripheralName).has_value());
}

}  // namespace
}  // namespace ambleguard::test
