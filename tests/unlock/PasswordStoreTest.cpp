#include "UnlockTestWorld.h"

#include <gtest/gtest.h>

namespace ambleguard::test {
namespace {

TEST(PasswordStore, StoresReplacesRetrievesAndDeletesOneItem) {
    UnlockTestWorld w;
    // An item left by an earlier install is replaced, not duplicated.
    w.keychain.place({std::string(PasswordStore::keychainService), "old", "stale"});
    ASSERT_TRUE(w.passwords.storePassword(kPassword));
    EXPECT_EQ(w.keychain.itemCount(), 1u);
    EXPECT_EQ(w.keychain.find(PasswordStore::keychainService)->label, "Ambleguard Screen Unlock");
    EXPECT_TRUE(w.log.contains("Password stored in Keychain"));

    const auto back = w.passwords.retrievePassword();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->view(), kPassword);

    w.passwords.deletePassword();
    EXPECT_EQ(w.keychain.itemCount(), 0u);
    EXPECT_FALSE(w.passwords.retrievePassword());
    EXPECT_TRUE(w.log.contains("No password stored in Keychain"));
}

TEST(PasswordStore, FailuresAreReportedWithTheStatusOnly) {
    UnlockTestWorld w;
    EXPECT_FALSE(w.passwords.storePassword("broken \xC3"));
    EXPECT_EQ(w.keychain.itemCount(), 0u);

    w.keychain.failWith(-25308);
    EXPECT_FALSE(w.passwords.storePassword(kPassword));
    EXPECT_TRUE(w.log.contains("Failed to store password in Keychain: -25308"));
    EXPECT_FALSE(w.passwords.retrievePassword());
    EXPECT_TRUE(w.log.contains("Failed to retrieve password from Keychain: -25308"));

    // An item whose bytes are not text is unusable, reported as status 0.
    w.keychain.failWith(0);
    w.keychain.place({std::string(PasswordStore::keychainService), "l", "\xFF\xFE"});
    EXPECT_FALSE(w.passwords.retrievePassword());
    EXPECT_TRUE(w.log.contains("Failed to retrieve password from Keychain: 0"));
    for (const auto& text : w.log.texts()) {
        EXPECT_EQ(text.find("walkme"), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace ambleguard::test
