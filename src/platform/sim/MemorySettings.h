#pragma once

#include "platform/SettingsPersistence.h"

namespace ambleguard::sim {

// Settings kept in memory only (tests, replay, simulate): the user's file is never touched.
class MemorySettings final : public SettingsPersistence {
  public:
    explicit MemorySettings(SettingValues initial = {}) : values_(std::move(initial)) {}

    Loaded load() override { return Loaded{values_, {}}; }
    Result<void> save(const SettingValues& values) override {
        ++saveCount_;
        if (failWrites_) {
            return failure("simulated write failure");
        }
        values_ = values;
        return Result<void>::success();
    }
    std::string location() const override { return "in memory"; }

    const SettingValues& values() const { return values_; }
    int saveCount() const { return saveCount_; }
    void setFailWrites(bool fail) { failWrites_ = fail; }

  private:
    SettingValues values_;
    int saveCount_ = 0;
    bool failWrites_ = false;
};

}  // namespace ambleguard::sim
