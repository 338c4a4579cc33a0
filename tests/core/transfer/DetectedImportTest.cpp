#include "support/ArticleFixtures.h"
#include "support/ScriptedHost.h"
#include "support/TestSupport.h"
#include "support/TransferFixture.h"
#include "text/Charset.h"
#include "transfer/ArticleImporter.h"
#include "transfer/RunReport.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

using test::TempDir;

// Articles of a few kilobytes in the encodings 自动识别 has to tell apart
// without a mark or a meta charset.
std::string repeated(std::string_view paragraph, std::size_t bytes)
{
    std::string out;
    for (int n = 1; out.size() < bytes; ++n)
        out += "第" + std::to_string(n) + "段：" + std::string(paragraph) + "\r\n";
    return out;
}

const std::string kMainland = repeated("数据库连接成功以后，程序会把文章目录里的每一个文件读出来，按照字段设置"
                                       "生成一条记录，再写入指定的表中。导入完成时会显示已导入的篇数。",
    6000);
const std::string kTaiwan = repeated("資料庫連線成功之後，程式會把文章目錄裡的每一個檔案讀出來，依照欄位設定"
                                     "產生一筆記錄，再寫入指定的資料表。匯入完成時會顯示已匯入的篇數。",
    6000);
const std::string kHongKong = repeated("用戶羣組的設定着實重要，請先確認伺服器地址，再按下匯入按鈕。"
                                       "完成後，視窗會顯示已匯入的文章數目。",
    6000);

class DetectedImportTest : public test::ArticleFilesFixture {
protected:
    void SetUp() override
    {
        ArticleFilesFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        form.control("组合框文件编码")->setCurrentIndex(0); // 自动识别
    }
};

// A folder of such files, imported: every text is stored as it was written,
// and the one file too short to tell is stored as GBK and listed once, in
// the window's list and in the run report, as not certain.
TEST_F(DetectedImportTest, EveryEncodingIsStoredAsWrittenAndTheUncertainFileListedOnce)
{
    const std::vector<std::pair<std::string, std::string>> written = {
        {"taiwan", convertCharset(kTaiwan, kCharsetUtf8, kCharsetBig5)},
        {"hongkong", convertCharset(kHongKong, kCharsetUtf8, kCharsetBig5Hkscs)},
        {"le", test::utf16le(kMainland)},
        {"be", test::utf16be(kTaiwan)},
        {"gbk", toGb18030(kMainland)},
        {"utf8", kHongKong},
        {"short", toGb18030("拷贝")},
    };
    std::vector<std::string> files;
    for (const auto &[base, bytes] : written)
        files.push_back(file(base + ".txt", bytes));
    ASSERT_EQ(convertCharset(written[1].second, kCharsetBig5, kCharsetUtf8).find("羣"), std::string::npos)
        << "the Hong Kong text must need HKSCS";

    ArticleImporter importer(form, db, host, random);
    const ImportResult result = importer.runImport(files);
    ASSERT_EQ(result.outcome, TransferOutcome::Completed) << host.recorder.lastText();
    EXPECT_EQ(result.transferred, 7);
    EXPECT_TRUE(result.failures.empty());
    EXPECT_EQ(column("select concat(标题, '=', 内容) from 文章 order by ID"),
        (std::vector<std::string>{"taiwan=" + kTaiwan, "hongkong=" + kHongKong, "le=" + kMainland, "be=" + kTaiwan,
            "gbk=" + kMainland, "utf8=" + kHongKong, "short=拷贝"}));

    ASSERT_EQ(result.incomplete.size(), 1u);
    EXPECT_EQ(result.incomplete[0].item, files.back());
    EXPECT_EQ(result.incomplete[0].reason, "编码不确定（按 GBK 读取）");
    ASSERT_EQ(host.lists.count("内容不完整的文件（已导入）"), 1u);
    EXPECT_EQ(host.lists["内容不完整的文件（已导入）"].size(), 1u);

    RunReportHead head;
    head.command = "import";
    const std::string report = runReportText(result, head);
    const std::string line = "\"file\":\"" + files.back() + "\"";
    ASSERT_NE(report.find(line), std::string::npos) << report;
    EXPECT_EQ(report.find(line, report.find(line) + 1), std::string::npos) << report;
    const std::string listed =
        report.substr(report.find(line), report.find('\n', report.find(line)) - report.find(line));
    EXPECT_NE(listed.find("\"outcome\":\"incomplete\""), std::string::npos) << listed;
    EXPECT_NE(listed.find("\"reason\":\"编码不确定（按 GBK 读取）\""), std::string::npos) << listed;
}

} // namespace
} // namespace varnel
