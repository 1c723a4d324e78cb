#pragma once

#include <gmock/gmock.h>

#include "actions/AwayActions.h"
#include "actions/ReturnActions.h"
#include "actions/ScheduleGate.h"
#include "actions/ScreenLockControl.h"
#include "bluetooth/ConnectionAttempts.h"
#include "bluetooth/ScannerControl.h"
#include "feedback/EventSounds.h"
#include "presence/OutOfRangeNotifier.h"
#include "unlock/UnlockInterfaces.h"

namespace ambleguard::test {

class MockScannerControl : public ScannerControl {
  public:
    MOCK_METHOD(bool, isCentralPoweredOn, (), (const, override));
    MOCK_METHOD(void, resetBluetooth, (), (override));
    MOCK_METHOD(void, startScanning, (), (override));
    MOCK_METHOD(void, startPresenceTimer, (), (override));
};

class MockConnectionAttempts : public ConnectionAttempts {
  public:
    MOCK_METHOD(void, attemptConnection, (std::string_view trigger), (override));
    MOCK_METHOD(void, tearDownConnectionFeed, (std::string_view reason, bool cooldown), (override));
    MOCK_METHOD(void, setOnboardingCalibrationConnectAllowed, (bool allowed), (override));
};

class MockEventSounds : public EventSounds {
  public:
    MOCK_METHOD(void, play, (SoundEvent event), (override));
};

class MockScreenLock : public ScreenLockControl {
  public:
    MOCK_METHOD(bool, isLocked, (), (const, override));
    MOCK_METHOD(void, lockScreenDirectly, (), (override));
    MOCK_METHOD(void, startScreenSaver, (), (override));
};

class MockSchedule : public ScheduleGate {
  public:
    MOCK_METHOD(bool, shouldSuppress, (), (override));
};

class MockAwayActions : public AwayActions {
  public:
    MOCK_METHOD(void, performAwayAction, (), (override));
};

class MockReturnActions : public ReturnActions {
  public:
    MOCK_METHOD(void, performReturnAction, (), (override));
    MOCK_METHOD(void, performUnlockOnReturn, (), (override));
};

class MockUnlockOnTouch : public UnlockOnTouchControl {
  public:
    MOCK_METHOD(bool, arm, (bool unlockIfRecentInput), (override));
    MOCK_METHOD(void, deviceConfirmedGone, (std::string_view reason), (override));
};

class MockOutOfRangeNotifier : public OutOfRangeNotifier {
  public:
    MOCK_METHOD(void, showNotification, (PresenceEngine::GoneReason reason), (override));
};

}  // namespace ambleguard::test
