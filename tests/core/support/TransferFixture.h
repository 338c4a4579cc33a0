#pragma once

#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "support/Sandbox.h"
#include "support/ScriptedHost.h"
#include "support/TestSupport.h"
#include "transfer/ArticleExporter.h"
#include "transfer/ArticleImporter.h"

namespace varnel::test {

// A main-window form on a database of its own: the engines' starting point.
// The form names the test database and the given table, both buttons are
// idle and the mapping is empty.
class TransferFixture : public SandboxDatabase {
protected:
    explicit TransferFixture(std::string table)
        : m_table(std::move(table))
    {
    }

    void SetUp() override
    {
        SandboxDatabase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        form.control("编辑框库名")->setText(name);
        form.control("编辑框表名")->setText(m_table);
        form.control("按钮导入")->setText(kImportIdle);
        form.control("按钮导出")->setText(kExportIdle);
        form.clearRows();
    }

    void rule(const std::string &target, const std::string &source, const std::string &options = "无")
    {
        addRule(form, target, source, options);
    }

    MemoryForm form{mainFormSpec()};
    ScriptedHost host;
    SeededRandom random;

private:
    std::string m_table;
};

// Articles into the table 文章, with 标题 from 文件主名 and 内容 from 文件内容,
// from files of the test's own folder.
class ArticleFilesFixture : public TransferFixture {
protected:
    ArticleFilesFixture()
        : TransferFixture("文章")
    {
    }
    void SetUp() override
    {
        TransferFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        rule("标题", "文件主名");
        rule("内容", "文件内容");
    }
    // Writes the file into the folder; its path.
    std::string file(const std::string &fileName, const std::string &bytes)
    {
        writeBytes(dir.file(fileName), bytes);
        return dir.file(fileName).string();
    }

    TempDir dir;
};

} // namespace varnel::test
