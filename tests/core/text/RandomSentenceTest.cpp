#include "text/RandomSentence.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>

namespace varnel {
namespace {

using test::ScriptedRandom;

TEST(RandomSentence, PicksAPieceOfTenCharactersOrMore)
{
    ScriptedRandom random;
    const std::string text = "<p>短句。</p>\r\n  　这是一个足够长的句子用来测试　 \r\n\r\n另一句话";
    EXPECT_EQ(randomSentence(text, random), "这是一个足够长的句子用来测试");
    EXPECT_EQ(random.reseeds, 1);
}

TEST(RandomSentence, FallsBackToAnyPieceAtRandom)
{
    // "Hello, world": Hello, an empty piece between comma and space, world.
    std::set<std::string> seen;
    for (int pick = 0; pick < 3; ++pick) {
        ScriptedRandom random({}, pick);
        seen.insert(randomSentence("Hello, world", random));
    }
    EXPECT_EQ(seen, (std::set<std::string>{"Hello", "", "world"}));
    // Only delimiters: nothing but empty pieces.
    ClockSeededRandom clock;
    EXPECT_EQ(randomSentence(",,。!", clock), "");
    EXPECT_EQ(randomSentence("", clock), "");
    EXPECT_EQ(randomSentence("<b></b>", clock), "");
}

TEST(RandomSentence, CutsAtEveryDelimiter)
{
    // Each piece is short, so the fallback returns the scripted piece index.
    const std::string text = "3.14(x)=y;z{w}《书》（括）、‘引’-\"q\"“双”a:b：c/d>e f<g'h?i!j？k！l，m。n；o. p\rq\nr";
    // No piece is long enough, so the last draw picks the piece; drawing the
    // same index every time makes the shuffle irrelevant.
    auto piece = [&](std::int64_t index) {
        ScriptedRandom random({}, index);
        return randomSentence(text, random);
    };
    EXPECT_EQ(piece(0), "3");
    EXPECT_EQ(piece(1), "14");
    std::set<std::string> all;
    for (int i = 0; i < 60; ++i)
        all.insert(piece(i));
    for (const char *word : {"x", "y", "z", "w", "书", "括", "引", "q", "双", "a", "b", "c", "d", "e", "f", "g", "h",
             "i", "j", "k", "l", "m", "n", "o", "p", "q", "r"})
        EXPECT_EQ(all.count(word), 1u) << word;
    for (const std::string &p : all)
        EXPECT_EQ(p.find_first_of(".,;:()"), std::string::npos) << p;
}

TEST(RandomSentence, PumpsPerPieceExamined)
{
    int pumps = 0;
    ClockSeededRandom clock;
    randomSentence("a,b,c,d", clock, [&] { ++pumps; });
    EXPECT_EQ(pumps, 4);
}

} // namespace
} // namespace varnel
