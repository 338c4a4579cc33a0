#include "text/TextBetween.h"
#include "text/ArticleFile.h"
#include "text/Charset.h"
#include "text/MetaCharset.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

TEST(TextBetween, FindsForwardIgnoringCaseAndAdvances)
{
    EXPECT_EQ(TextBetween("<HTML><TITLE>标题 Title</TITLE>", "<title>", "</title>"), "标题 Title");
    std::int64_t position = 0;
    const std::string text = "[a] [b] [c]";
    EXPECT_EQ(TextBetween(text, "[", "]", position), "a");
    EXPECT_EQ(position, 4);
    EXPECT_EQ(TextBetween(text, "[", "]", position), "b");
    EXPECT_EQ(TextBetween(text, "[", "]", position), "c");
    EXPECT_EQ(TextBetween(text, "[", "]", position), "");
    EXPECT_EQ(position, kNothingMore);
    EXPECT_EQ(TextBetween(text, "[", "]", position), ""); // stays finished
    EXPECT_EQ(TextBetween("abc", "x", "c"), "");
    EXPECT_EQ(TextBetween("[]", "[", "]"), "");
}

TEST(TextBetween, EmptyMarkersMeanStartAndEnd)
{
    EXPECT_EQ(TextBetween("title: 文章 end", "title: ", ""), "文章 end");
    EXPECT_EQ(TextBetween("文章 end", "", " end"), "文章");
    EXPECT_EQ(TextBetween("whole", "", ""), "whole");
}

TEST(TextBetween, DoubledSingleQuotesAndTheSecondAttempt)
{
    // '' stands for ", and the text has the quotes.
    EXPECT_EQ(TextBetween("<div class=\"t\">x</div>", "class=''t''>", "</div>"), "x");
    // The text has the bare word: the second attempt drops the quotes.
    EXPECT_EQ(TextBetween("<div class=t>y</div>", "class=''t''>", "</div>"), "y");
    // Raw markers keep two single quotes as they are.
    std::int64_t position = 0;
    TextBetweenOptions raw;
    raw.rawMarkers = true;
    EXPECT_EQ(TextBetween("a''b''c", "''b''", "c", position, raw), "");
    position = 0;
    EXPECT_EQ(TextBetween("a''b''c", "a''", "''c", position, raw), "b");
}

TEST(TextBetween, ShiftsAndBackwardSearch)
{
    std::int64_t position = 0;
    TextBetweenOptions shifted;
    shifted.startShift = 1;
    shifted.endShift = 1;
    EXPECT_EQ(TextBetween("<[abc]>", "<", ">", position, shifted), "abc");

    // Backward: the tail first, then the last head before it.
    TextBetweenOptions backward;
    backward.backward = true;
    std::int64_t bound = 0;
    position = 0;
    EXPECT_EQ(TextBetween("<a <b> <c>", "<", ">", position, backward, &bound), "b");
    EXPECT_EQ(bound, 6);
    EXPECT_EQ(TextBetween("<a <b> <c>", "<", ">", position, backward, &bound), "c");
    // A head that lies before the bound does not count twice.
    bound = 0;
    position = 0;
    EXPECT_EQ(TextBetween("<x>>", "<", ">", position, backward, &bound), "x");
    EXPECT_EQ(TextBetween("<x>>", "<", ">", position, backward, &bound), "");
    EXPECT_EQ(position, kNothingMore);
}

TEST(MetaCharset, ListsInOrder)
{
    EXPECT_EQ(metaCharset("<meta charset=utf-8>"), MetaCharset::Utf8);
    EXPECT_EQ(metaCharset("<META CONTENT=\"text/html; CHARSET=UTF-8\">"), MetaCharset::Utf8);
    EXPECT_EQ(metaCharset("<meta charset=\"big5\">"), MetaCharset::Big5);
    EXPECT_EQ(metaCharset("<meta charset=Big5-HKSCS>"), MetaCharset::Big5);
    EXPECT_EQ(metaCharset("<meta charset=\"Big5-HKSCS\">"), MetaCharset::Big5Hkscs);
    EXPECT_EQ(metaCharset("<meta charset = utf-8>"), MetaCharset::None);
    EXPECT_EQ(metaCharset("<meta charset=gbk>"), MetaCharset::None);
    EXPECT_EQ(metaCharset("no tags"), MetaCharset::None);
    EXPECT_EQ(metaCharset("<meta"), MetaCharset::None);
}

// Also the head the reader looks at: a declaration in the body of a page
// with a head is not the page's.
TEST(MetaCharset, HeadSectionAndEmptyTag)
{
    EXPECT_EQ(metaCharset("<head><title>x</title></head><meta charset=utf-8>"), MetaCharset::None);
    EXPECT_EQ(metaCharset("<head></head><meta charset=utf-8>"), MetaCharset::Utf8);
    EXPECT_EQ(metaCharset("<HEAD><meta charset=big5></HEAD>"), MetaCharset::Big5);
    EXPECT_EQ(metaCharset("<meta><meta charset=utf-8>"), MetaCharset::None);
    EXPECT_EQ(metaCharset("<meta name=a><meta charset=utf-8>"), MetaCharset::Utf8);
}

TEST(WithMetaCharset, EveryDeclarationOfTheHeadNamesTheEncodingWritten)
{
    const std::initializer_list<std::string_view> gbk = {"gb18030", "gbk", "gb2312"};
    EXPECT_EQ(withMetaCharset("<html><head>\r\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                              "CHARSET=Big5\">\r\n<title>x</title></head>",
                  "gb18030", gbk),
        "<html><head>\r\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; CHARSET=gb18030\">\r\n"
        "<title>x</title></head>");
    EXPECT_EQ(withMetaCharset("<meta charset=\"utf-8\"><p>", "gb18030", gbk), "<meta charset=\"gb18030\"><p>");
    EXPECT_EQ(withMetaCharset("<meta charset='UTF-8' />", "gb18030", gbk), "<meta charset='gb18030' />");
    EXPECT_EQ(withMetaCharset("<meta charset = big5-hkscs/>", "utf-8", {"utf-8"}), "<meta charset = utf-8/>");
    EXPECT_EQ(withMetaCharset("<meta charset=big5><meta content='text/html;charset=utf-8'>", "utf-16", {"utf-16"}),
        "<meta charset=utf-16><meta content='text/html;charset=utf-16'>");
    // The same encoding, nothing declared, a declaration outside the head.
    EXPECT_EQ(withMetaCharset("<meta charset=GB2312>", "gb18030", gbk), std::nullopt);
    EXPECT_EQ(withMetaCharset("<meta name=x>charset=big5", "gb18030", gbk), std::nullopt);
    EXPECT_EQ(withMetaCharset("<head><title>t</title></head><meta charset=big5>", "gb18030", gbk), std::nullopt);
    EXPECT_EQ(withMetaCharset("<meta charset=>", "gb18030", gbk), std::nullopt);
}

TEST(EncodeArticle, DeclaredCharsetFollowsTheEncodingWritten)
{
    const std::string page = "<head><meta charset=big5></head>甲";
    EXPECT_EQ(encodeArticle(page, ArticleEncoding::Ansi), toGb18030("<head><meta charset=gb18030></head>甲"));
    EXPECT_EQ(encodeArticle(page, ArticleEncoding::Detect), toGb18030("<head><meta charset=gb18030></head>甲"));
    EXPECT_EQ(encodeArticle(page, ArticleEncoding::Utf8), "\xEF\xBB\xBF<head><meta charset=utf-8></head>甲");
    EXPECT_EQ(encodeArticle(page, ArticleEncoding::Utf16LE),
        "\xFF\xFE" + convertCharset("<head><meta charset=utf-16></head>甲", kCharsetUtf8, kCharsetUtf16LE));
    EXPECT_EQ(decodeArticle(encodeArticle(page, ArticleEncoding::Ansi), ArticleEncoding::Detect).text,
        "<head><meta charset=gb18030></head>甲");
}

} // namespace
} // namespace varnel
