// The order in which the servers of a list are tried. The servers that
// answer or not are scripted here; tests/core/faults/ServerListTest.cpp runs
// the same against servers that are killed.
#include "mysql/ServerFailover.h"

#include <gtest/gtest.h>

#include <set>

namespace varnel {
namespace {

using Order = std::vector<std::size_t>;

TEST(ServerFailover, AConnectGoesDownTheListAReopenStartsAfterTheLostOne)
{
    const ServerFailover three({"a", "b:3307", "c"});
    EXPECT_EQ(three.connectOrder(), (Order{0, 1, 2}));
    EXPECT_EQ(three.reopenOrder(0), (Order{1, 2, 0}));
    EXPECT_EQ(three.reopenOrder(1), (Order{2, 0, 1}));
    EXPECT_EQ(three.reopenOrder(2), (Order{0, 1, 2}));
    // One server (also the empty entry of an empty field) is tried again.
    const ServerFailover one({""});
    EXPECT_EQ(one.connectOrder(), (Order{0}));
    EXPECT_EQ(one.reopenOrder(0), (Order{0}));
}

TEST(ServerFailover, MovingOnStopsAtTheFirstServerThatLetsUsIn)
{
    const ServerFailover list({"a", "b", "c"});
    std::vector<std::string> tried;
    std::set<std::string> down;
    auto open = [&](const std::string &server, std::string &reason) {
        tried.push_back(server);
        if (!down.count(server))
            return true;
        reason = "没有回应";
        return false;
    };
    std::string reason = "before";
    down = {"a", "b"};
    EXPECT_EQ(list.moveOn(list.reopenOrder(2), open, reason), 2u);
    EXPECT_EQ(tried, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(reason, "before");

    // None answers: each one's reason, in the order tried.
    tried.clear();
    down = {"a", "b", "c"};
    EXPECT_EQ(list.moveOn(list.reopenOrder(0), open, reason), std::nullopt);
    EXPECT_EQ(tried, (std::vector<std::string>{"b", "c", "a"}));
    EXPECT_EQ(reason, "b：没有回应；c：没有回应；a：没有回应");

    // One server: its reason as it is.
    const ServerFailover one({"a"});
    EXPECT_EQ(one.moveOn(one.connectOrder(), open, reason), std::nullopt);
    EXPECT_EQ(reason, "没有回应");
}

} // namespace
} // namespace varnel
