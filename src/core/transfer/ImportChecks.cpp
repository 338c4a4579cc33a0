#include "form/MainControls.h"
#include "transfer/ArticleImporter.h"

#include "form/Control.h"
#include "mapping/RuleEditor.h"
#include "transfer/ImportRun.h"

#include <algorithm>

namespace varnel {

// The run's inputs, checked before anything touches the server: a database
// and a table named, at least one mapping row, and counters that stay within
// 64 bits over all the files (refused before anything is written, never
// wrapped or clamped).
std::optional<ImportResult> ArticleImporter::checkInputs(Run &run, std::size_t files)
{
    run.database = controlText(m_form, ctl::kDatabase);
    if (run.database.empty()) {
        return TransferResult::refused(TransferOutcome::Invalid, "请输入库名！", ctl::kDatabase);
    }
    run.table = controlText(m_form, ctl::kTable);
    if (run.table.empty()) {
        return TransferResult::refused(TransferOutcome::Invalid, "请输入表名！", ctl::kTable);
    }
    if (m_form.rowCount() == 0) {
        return TransferResult::refused(TransferOutcome::Invalid, "请在 数据字段设置 中添加至少一个字段！");
    }
    const std::vector<FieldRule> rules = readRules(m_form);
    if (const auto problem = validateRules(rules, static_cast<std::int64_t>(files))) {
        return TransferResult::refused(TransferOutcome::Invalid, *problem);
    }
    // The key is a column the rows fill (ID is the table's own).
    run.key = keyColumn();
    if (!run.key.empty() && (run.key == "ID" || std::none_of(rules.begin(), rules.end(), [&](const FieldRule &r) {
            return r.target == run.key;
        }))) {
        return TransferResult::refused(TransferOutcome::Invalid, "唯一键字段不在数据字段设置中：" + run.key);
    }
    return std::nullopt;
}

} // namespace varnel
