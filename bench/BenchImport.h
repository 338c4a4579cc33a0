#pragma once

// The configuration the import benchmarks run with: three rules (the file's
// main name, its content and a summary) into a table of varnel_bench, from
// the *.txt files of one folder, saved where varnel-cli --config reads it.

#include "design/ConfigFile.h"
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "mapping/FieldRule.h"
#include "settings/SettingsStore.h"

#include <filesystem>
#include <string>
#include <utility>

namespace varnel::bench {

inline void setUpImportForm(MemoryForm &form, const std::string &table, const std::filesystem::path &articles)
{
    form.clearRows();
    const std::pair<const char *, const char *> rules[] = {
        {"标题", "文件主名"}, {"内容", "文件内容"}, {"摘要", "内容摘要"}};
    for (const auto &[target, source] : rules) {
        const int r = form.appendRow();
        form.setCell(r, 0, target);
        form.setCell(r, 1, source);
        form.setCell(r, 2, std::string(source) == "内容摘要" ? joinOptions({"100", "100"}) : "无");
    }
    form.control("编辑框库名")->setText("varnel_bench");
    form.control("编辑框表名")->setText(table);
    form.control("编辑框文章目录")->setText(articles.string());
    form.control("编辑框文件类型")->setText("*.txt");
}

inline void saveImportConfig(MemoryForm &form, const std::filesystem::path &ini)
{
    SettingsStore store;
    store.open(ini);
    saveMainConfig(store, form);
}

} // namespace varnel::bench
