#include "util/Result.h"

#include <gtest/gtest.h>

#include <memory>

namespace varnel {
namespace {

Result<std::unique_ptr<int>> made(bool ok)
{
    if (!ok)
        return failure("无法连接到服务器", 2003);
    return std::make_unique<int>(7);
}

TEST(Result, HoldsAValueOrTheErrorThatKeptItFromOne)
{
    Result<std::unique_ptr<int>> good = made(true);
    ASSERT_TRUE(good);
    EXPECT_EQ(**good, 7);
    // A value that can only move stays where it is.
    std::unique_ptr<int> taken = std::move(*good);
    EXPECT_EQ(*taken, 7);

    const Result<std::unique_ptr<int>> bad = made(false);
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error().message, "无法连接到服务器");
    EXPECT_EQ(bad.error().serverNumber, 2003u);

    const Result<void> done;
    EXPECT_TRUE(done.ok());
    const Result<void> refused = failure("不是普通文件：/dev/null");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().serverNumber, 0u);
}

} // namespace
} // namespace varnel
