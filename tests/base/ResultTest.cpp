#include "base/Result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace ambleguard {
namespace {

struct FieldError {
    std::string path;
    std::string message;
    bool operator==(const FieldError&) const = default;
};

// Where the value is a text too, a failure must never read as a value, nor the other way round.
TEST(ResultTest, ValueAndFailureStayApartEvenWhenBothAreTexts) {
    const Result<std::string> value = std::string("why");
    const Result<std::string> failed = failure("why");
    ASSERT_TRUE(value.ok());
    EXPECT_EQ(value.value(), "why");
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error(), "why");
    EXPECT_NE(value, failed);

    EXPECT_EQ(Result<int>::success(3), Result<int>(3));
    EXPECT_EQ(Result<int>::failure("no"), Result<int>(failure(std::string("no"))));

    Result<std::unique_ptr<int>> owned = std::make_unique<int>(7);
    const std::unique_ptr<int> taken = std::move(owned).value();
    EXPECT_EQ(*taken, 7);
}

TEST(ResultTest, VoidResultsAndStructuredReasons) {
    EXPECT_TRUE(Result<void>::success().ok());
    const Result<void> failed = failure("disk full");
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error(), "disk full");

    const Result<int, FieldError> refused = failure(FieldError{"devices[1]", "not an object"});
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().path, "devices[1]");
    const auto both = Result<void, FieldError>::failure({"a", "b"});
    EXPECT_EQ(both.error(), (FieldError{"a", "b"}));
}

}  // namespace
}  // namespace ambleguard
