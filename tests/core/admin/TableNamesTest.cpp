#include "admin/TableNames.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

constexpr std::string_view kBadFirst = "表名首字符不能为【半角英文标点、空格和数字】！";
constexpr std::string_view kBadCharacter = "表名不允许包含【半角英文标点、空格】";

TEST(TableNameProblem, FirstCharacterMustBeALetterOrADot)
{
    EXPECT_EQ(tableNameProblem("2abc"), kBadFirst);
    EXPECT_EQ(tableNameProblem(" abc"), kBadFirst);
    EXPECT_EQ(tableNameProblem("_abc"), kBadFirst);
    EXPECT_EQ(tableNameProblem("-"), kBadFirst);
}

TEST(TableNameProblem, OnlyLettersDigitsAndIdeographs)
{
    EXPECT_EQ(tableNameProblem("a_b"), kBadCharacter);
    EXPECT_EQ(tableNameProblem("a b"), kBadCharacter);
    EXPECT_EQ(tableNameProblem("a-b"), kBadCharacter);
    EXPECT_EQ(tableNameProblem("a.b"), kBadCharacter);
    // A dot may start a name by the first rule, but the second refuses it.
    EXPECT_EQ(tableNameProblem(".x"), kBadCharacter);
    // Characters beyond ASCII outside the ideograph range.
    EXPECT_EQ(tableNameProblem("a，b"), kBadCharacter);
    EXPECT_EQ(tableNameProblem("aé"), kBadCharacter);
    EXPECT_EQ(tableNameProblem("a\xE9"), kBadCharacter); // not UTF-8
    EXPECT_EQ(tableNameProblem("\xE4\xB8"), kBadCharacter); // cut short
    // U+9FA6 is just past the range, U+4DFF just before it.
    EXPECT_EQ(tableNameProblem("a\xE9\xBE\xA6"), kBadCharacter);
    EXPECT_EQ(tableNameProblem("a\xE4\xB7\xBF"), kBadCharacter);
}

TEST(TableNameProblem, GoodNames)
{
    EXPECT_EQ(tableNameProblem("abc"), std::nullopt);
    EXPECT_EQ(tableNameProblem("News2024"), std::nullopt);
    EXPECT_EQ(tableNameProblem("表"), std::nullopt);
    EXPECT_EQ(tableNameProblem("文章表1"), std::nullopt);
    EXPECT_EQ(tableNameProblem("\xE4\xB8\x80\xE9\xBE\xA5"), std::nullopt); // U+4E00 and U+9FA5
    // A first character beyond ASCII skips the first rule.
    EXPECT_EQ(tableNameProblem("表2"), std::nullopt);
}

} // namespace
} // namespace varnel
