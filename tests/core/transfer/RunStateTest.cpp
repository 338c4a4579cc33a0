// What a window can do while a run pumps its events: press the buttons
// again, drop files, edit the mapping, select another database.
#include "form/MemoryForm.h"
#include "mapping/FieldRule.h"
#include "support/ScriptedHost.h"
#include "support/TestSupport.h"
#include "support/TransferFixture.h"
#include "transfer/ArticleExporter.h"
#include "transfer/ArticleImporter.h"
#include "transfer/Progress.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

class RunStateTest : public test::TransferFixture {
protected:
    RunStateTest()
        : TransferFixture("t")
    {
    }
    void SetUp() override
    {
        TransferFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        form.control("编辑框文章目录")->setText(dir.path().string());
        rule("标题", "文件主名");
        rule("内容", "文件内容");
        for (int i = 1; i <= 6; ++i) {
            test::writeBytes(dir.file("f" + std::to_string(i) + ".txt"), "text " + std::to_string(i));
            files.push_back(dir.file("f" + std::to_string(i) + ".txt").string());
        }
    }
    test::TempDir dir;
    std::vector<std::string> files;
};

TEST_F(RunStateTest, TheEngineNotTheCaptionKnowsARunIsGoingOn)
{
    ArticleImporter importer(form, db, host, random);
    int pumps = 0;
    ImportResult dropped, pressed;
    bool runningInside = false;
    host.onEvents = [&] {
        if (++pumps != 5)
            return;
        runningInside = importer.isRunning();
        // A window may set any caption; it is not the run state.
        form.control("按钮导入")->setText(kImportIdle);
        dropped = importer.runImport({files[0]}); // refused, no stop
        EXPECT_FALSE(importer.stopRequested());
        pressed = importer.startImport(); // the button stops the run
    };
    const ImportResult result = importer.startImport();
    EXPECT_TRUE(runningInside);
    EXPECT_EQ(dropped.outcome, TransferOutcome::Busy);
    EXPECT_EQ(pressed.outcome, TransferOutcome::Busy);
    EXPECT_TRUE(result.stopped);
    EXPECT_LT(result.transferred, 6);
    EXPECT_FALSE(importer.isRunning());
    EXPECT_EQ(form.control("按钮导入")->text(), kImportIdle);
    EXPECT_FALSE(form.inUse());

    // Every way out is idle again, an early message included.
    host.onEvents = {};
    form.control("编辑框库名")->setText("");
    EXPECT_EQ(importer.runImport(files).outcome, TransferOutcome::Invalid);
    EXPECT_FALSE(importer.isRunning());
    form.control("编辑框文件类型")->setText("*.none");
    form.control("编辑框库名")->setText(name);
    EXPECT_EQ(importer.startImport().outcome, TransferOutcome::Invalid);
    EXPECT_EQ(form.control("按钮导入")->text(), kImportIdle);
    EXPECT_EQ(host.windowCaption, "restored");
}

TEST_F(RunStateTest, ExportButtonStopsARunningExportAndAStartInsideIsRefused)
{
    ArticleImporter(form, db, host, random).runImport(files);
    ArticleExporter exporter(form, db, host, random);
    exporter.setWriteAhead(0); // the second pump comes after the first file
    test::TempDir out;
    form.control("编辑框文章目录")->setText(out.path().string());
    int pumps = 0;
    ExportResult inner;
    std::string captionAfterPress;
    host.onEvents = [&] {
        if (++pumps != 2)
            return;
        inner = exporter.runExport();
        exporter.pressExport();
        captionAfterPress = form.control("按钮导出")->text();
    };
    const ExportResult result = exporter.pressExport();
    EXPECT_EQ(inner.outcome, TransferOutcome::Busy);
    EXPECT_EQ(captionAfterPress, "正在停止中..");
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.transferred, 1);
    EXPECT_EQ(form.control("按钮导出")->text(), kExportIdle);
    EXPECT_FALSE(exporter.isRunning());
}

TEST_F(RunStateTest, ARunKeepsToItsDatabaseWhateverIsSelectedMeanwhile)
{
    const std::string other = name + "_o";
    ASSERT_TRUE(db.execute("create database `" + other + "`"));
    for (std::size_t batch : {std::size_t{1}, std::size_t{2}}) {
        SCOPED_TRACE(batch);
        db.execute("drop table if exists `" + name + "`.t");
        int pumps = 0;
        host.onEvents = [&] {
            // Another window picks a database, or types USE in its console.
            if (++pumps % 2)
                db.selectDatabase(other);
            else
                db.execute("use `" + other + "`");
        };
        ArticleImporter importer(form, db, host, random);
        importer.setBatchSize(batch);
        const ImportResult result = importer.runImport(files);
        EXPECT_EQ(result.transferred, 6);
        EXPECT_EQ(result.tableRows, 6);
        EXPECT_TRUE(result.failures.empty()) << result.failures.front().reason;
        EXPECT_EQ(column("select count(*) from `" + name + "`.t"), std::vector<std::string>{"6"});
        EXPECT_EQ(column("select count(*) from information_schema.tables where table_schema='" + other + "'"),
            std::vector<std::string>{"0"});
    }
    db.execute("drop database `" + other + "`");
}

TEST_F(RunStateTest, MappingRowsDeletedDuringARunAreNoLongerRead)
{
    rule("备注", "固定文本", "x");
    int pumps = 0;
    host.onEvents = [&] {
        if (++pumps == 6)
            form.removeRow(2);
        if (pumps == 12)
            form.clearRows();
    };
    ArticleImporter importer(form, db, host, random);
    const ImportResult result = importer.runImport(files);
    EXPECT_EQ(result.outcome, TransferOutcome::Completed);
    // Rows without a column fail on the server; none reads past the list.
    EXPECT_EQ(result.transferred + static_cast<std::int64_t>(result.failures.size()), 6);
    EXPECT_GE(result.transferred, 1);
}

// Every statement on the table is given up as a deadlock, as a cluster's
// conflicting writes are: the run pauses before each attempt again.
class ConflictPauseTest : public RunStateTest {
protected:
    void SetUp() override
    {
        RunStateTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(db.execute("create table t (标题 varchar(100), 内容 text) engine=InnoDB"));
        ASSERT_TRUE(db.execute("create trigger t_conflict before insert on t for each row signal sqlstate '40001' "
                               "set message_text = 'Deadlock found when trying to get lock', mysql_errno = 1213"));
    }
    test::SteppingClock clock;
};

TEST_F(ConflictPauseTest, PausesPassOnTheRunsClockAndTheFilesFailWithTheServersReason)
{
    ArticleImporter importer(form, db, host, random, clock);
    importer.setBatchSize(1);
    const ImportResult result = importer.runImport(files);
    EXPECT_EQ(result.transferred, 0);
    ASSERT_EQ(result.failures.size(), files.size());
    EXPECT_NE(result.failures[0].reason.find("Deadlock found"), std::string::npos) << result.failures[0].reason;
    // Eight pauses per file, each longer than the one before, none of them
    // slept in one piece.
    EXPECT_GE(clock.elapsed, std::chrono::milliseconds(3820) * files.size());
    EXPECT_LE(clock.longestSleep, RunWait::kSlice);
    EXPECT_FALSE(result.stopped);
}

TEST_F(ConflictPauseTest, AStopDuringAPauseEndsTheRunAndWhatDidNotGoIsSkipped)
{
    for (std::size_t batch : {std::size_t{1}, ArticleImporter::kDefaultBatchRows}) {
        ArticleImporter importer(form, db, host, random, clock);
        importer.setBatchSize(batch);
        clock.elapsed = {};
        std::optional<std::chrono::milliseconds> stoppedAt;
        host.onEvents = [&] {
            if (!stoppedAt && clock.elapsed >= std::chrono::milliseconds(500)) {
                stoppedAt = clock.elapsed;
                importer.startImport(); // the button of a running import
            }
        };
        const ImportResult result = importer.runImport(files);
        host.onEvents = nullptr;
        ASSERT_TRUE(stoppedAt) << "batch " << batch;
        EXPECT_LE(clock.elapsed - *stoppedAt, std::chrono::milliseconds(100)) << "batch " << batch;
        EXPECT_TRUE(result.stopped);
        EXPECT_EQ(result.transferred, 0);
        // Nothing of a statement given up stays: its files are not in doubt,
        // they were not stored.
        EXPECT_TRUE(result.unknown.empty());
        EXPECT_TRUE(result.failures.empty()) << "batch " << batch;
        EXPECT_EQ(result.skipped.size(), files.size()) << "batch " << batch;
        for (const TransferFailure &f : result.skipped)
            EXPECT_EQ(f.reason, kStoppedReason);
        EXPECT_EQ(
            host.recorder.lastText(), "导入完成，已导入 0 篇文章，当前表有 0 条记录！\r\n已停止，还有 6 篇未导入");
        EXPECT_EQ(host.lists.at("运行停止时尚未导入的文件").size(), files.size());
        host.lists.clear();
    }
}

} // namespace
} // namespace varnel
