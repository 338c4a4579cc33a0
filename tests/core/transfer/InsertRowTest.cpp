#include "mysql/Quoting.h"
#include "transfer/RowInserter.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

TEST(InsertRow, TheOneRowFormIsBuiltInPlaceAndTheSizesBoundWhatIsSent)
{
    InsertRow row;
    EXPECT_EQ(row.assignmentBytes(), 0u);
    EXPECT_EQ(row.boundBytes(), 0u);
    row.add(quoteIdentifier("标题"), "O'Reilly");
    row.add(quoteIdentifier("a`b"), std::string("x\\y\0z\r\n\"", 8));
    row.add(quoteIdentifier("c"), " ");
    EXPECT_EQ(row.columns, "`标题`,`a``b`,`c`");
    std::string assignments;
    row.appendAssignments(assignments);
    EXPECT_EQ(assignments, "`标题`='O\\'Reilly',`a``b`='x\\\\y\\0z\\r\\n\\\"',`c`=' '");
    EXPECT_EQ(row.assignmentBytes(), assignments.size());
    EXPECT_EQ(row.valueBytes, 8u + 8u + 1u);
    EXPECT_EQ(row.boundBytes(), row.valueBytes + 3 * InsertRow::kBoundValueBytes);
    // The values are kept as stored; escaping happens only into a statement.
    EXPECT_EQ(row.values[0], "O'Reilly");
}

TEST(InsertRow, EscapingInPlaceEqualsEscapeString)
{
    std::string all;
    for (int c = 0; c < 256; ++c)
        all.push_back(static_cast<char>(c));
    for (const std::string &value : {std::string(), all, std::string("中文'\\\"\x1A")}) {
        std::string out = "prefix";
        appendEscaped(out, value);
        EXPECT_EQ(out, "prefix" + escapeString(value));
        EXPECT_EQ(escapedSize(value), escapeString(value).size());
    }
}

} // namespace
} // namespace varnel
