// What an export reads from the main window before it starts.
#include "transfer/ExportRequest.h"
#include "design/FormTable.h"
#include "form/MainControls.h"
#include "form/MemoryForm.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

class ExportRequestTest : public ::testing::Test {
protected:
    ExportRequestTest()
    {
        form.clearRows();
        form.control(ctl::kDatabase)->setText("d");
        form.control(ctl::kTable)->setText("t");
        form.control(ctl::kFolder)->setText("/srv/out");
        test::addRule(form, "body", "文件内容");
    }

    MemoryForm form{mainFormSpec()};
};

// The window's own values are told in its order, each with the control to
// go to, before anything is asked of the server.
TEST_F(ExportRequestTest, MissingValuesInTheWindowsOrder)
{
    EXPECT_FALSE(readExportRequest(form).missingValue());
    const std::pair<std::string_view, const char *> missing[] = {{ctl::kFolder, "请先选择要导出到的文章目录！"},
        {ctl::kTable, "请输入表名！"}, {ctl::kDatabase, "请输入库名！"}};
    for (const auto &[control, message] : missing) {
        form.control(control)->setText("");
        const std::optional<ExportProblem> problem = readExportRequest(form).missingValue();
        ASSERT_TRUE(problem) << message;
        EXPECT_EQ(problem->message, message);
        EXPECT_EQ(problem->control, control);
    }
}

TEST_F(ExportRequestTest, FolderExtensionAndEncoding)
{
    EXPECT_EQ(readExportRequest(form).folder, "/srv/out/");
    form.control(ctl::kFolder)->setText("/srv/out/");
    EXPECT_EQ(readExportRequest(form).folder, "/srv/out/");
    EXPECT_EQ(readExportRequest(form).extension, ".html");
    // The extension is part of the file name: made safe with it.
    form.control(ctl::kFileTypes)->setText("*.t?t");
    EXPECT_EQ(readExportRequest(form).extension, ".t？t");
    form.control(ctl::kEncoding)->setCurrentIndex(3);
    EXPECT_EQ(readExportRequest(form).encoding, ArticleEncoding::Utf16LE);
}

// The first row of each source counts; a later one of the same source, and
// rows of other sources, are not the export's.
TEST_F(ExportRequestTest, TheMappingsFirstContentAndNameRows)
{
    form.clearRows();
    test::addRule(form, "x", "固定文本", "常量");
    test::addRule(form, "title", "文件主名");
    ExportRequest request = readExportRequest(form);
    EXPECT_EQ(request.nameColumn, "title");
    ASSERT_TRUE(request.missingContent());
    EXPECT_EQ(request.missingContent()->message, kNoContentColumn);
    EXPECT_TRUE(request.missingContent()->control.empty());

    test::addRule(form, "4", "文件内容");
    test::addRule(form, "other", "文件内容");
    test::addRule(form, "n2", "文件主名");
    request = readExportRequest(form);
    EXPECT_FALSE(request.missingContent());
    EXPECT_EQ(request.contentColumn, "4"); // a position, made a name once the table is open
    EXPECT_EQ(request.nameColumn, "title");
}

// The conditions are read only when switched on, and each comparison button
// gives its own comparison.
TEST_F(ExportRequestTest, ConditionsAndTheirButtons)
{
    form.control(ctl::kConditionNames)->setText("fid");
    form.control(ctl::kConditionValues)->setText("2");
    EXPECT_TRUE(readExportRequest(form).conditions.empty());

    form.control(ctl::kConditionsOn)->setChecked(true);
    auto holdsFor = [&](std::string_view fid) {
        return readExportRequest(form).conditions.holds([&](std::size_t) { return fid; });
    };
    const std::tuple<std::string_view, bool, bool> buttons[] = {
        // button, holds for "12", holds for "2"
        {ctl::kEqual, false, true},
        {ctl::kNotEqual, true, false},
        {ctl::kContains, true, true},
        {ctl::kNotContains, false, false},
    };
    for (const auto &[button, for12, for2] : buttons) {
        SCOPED_TRACE(button);
        form.control(button)->setChecked(true);
        EXPECT_EQ(holdsFor("12"), for12);
        EXPECT_EQ(holdsFor("2"), for2);
    }

    // Or: one term that holds is enough; and: every one must.
    form.control(ctl::kConditionNames)->setText("fid;fid");
    form.control(ctl::kConditionValues)->setText("2;3");
    form.control(ctl::kConditionSeparator)->setText(";");
    form.control(ctl::kEqual)->setChecked(true);
    EXPECT_EQ(readExportRequest(form).conditions.names().size(), 2u);
    EXPECT_FALSE(holdsFor("2"));
    form.control("单选框或逻辑")->setChecked(true);
    EXPECT_TRUE(holdsFor("2"));
}

} // namespace
} // namespace varnel
