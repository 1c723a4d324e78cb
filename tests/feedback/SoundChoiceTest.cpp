#include "feedback/SoundChoice.h"

#include <gtest/gtest.h>

namespace ambleguard {
namespace {

TEST(SoundChoiceTest, StoredFormsParseAndWriteBackUnchanged) {
    for (const char* stored :
         {"bundled:Drift", "system:Glass", "none", "system:Sub marine", "bundled:a:b"}) {
        const auto choice = SoundChoice::parse(stored);
        ASSERT_TRUE(choice) << stored;
        EXPECT_EQ(choice->storageForm(), stored);
    }
    EXPECT_EQ(SoundChoice::parse("bundled:Pulse"), SoundChoice::bundled("Pulse"));
    EXPECT_EQ(SoundChoice::parse("system:Pulse"), SoundChoice::system("Pulse"));
    EXPECT_EQ(SoundChoice::parse("none"), SoundChoice::none());
}

TEST(SoundChoiceTest, AnythingElseIsInvalid) {
    for (const char* stored : {"", "bundled:", "system:", "Bundled:Drift", "SYSTEM:Glass", "None",
                               "none ", " bundled:Drift", "bundled", "file:Drift", "Drift"}) {
        EXPECT_FALSE(SoundChoice::parse(stored)) << '"' << stored << '"';
    }
}

}  // namespace
}  // namespace ambleguard
