#include "form/MainControls.h"
#include "transfer/ArticleImporter.h"

#include "form/Control.h"
#include "mapping/RuleEditor.h"
#include "mysql/MySqlConnection.h"
#include "mysql/Statements.h"
#include "transfer/ImportRun.h"
#include "transfer/ServerQueries.h"

namespace varnel {
namespace {

// Column type of an auto-created table, by source label. A file time given
// as a date alone or a time alone gets a column that takes it.
ColumnTypeCode columnTypeFor(std::string_view label, int fileTimeFormat)
{
    if (label == "文件主名" || label == "网页标题" || label == "随机时间" || label == "父目录名")
        return kTypeTinytext;
    if (label == "文件内容")
        return kTypeMediumtext;
    if (label == "文件时间")
        return fileTimeFormat == 1 ? kTypeDate : fileTimeFormat == 2 ? kTypeTime : kTypeDatetime;
    return kTypeText;
}

} // namespace

// Selects the run's database and makes sure the table exists, creating
// either when missing: the table with an auto-increment ID and one column
// per mapping row, typed by its source.
std::optional<ImportResult> ArticleImporter::prepareTable(Run &run)
{
    const std::string &database = run.database;
    const std::string &table = run.table;
    if (!m_db.selectDatabase(database)) {
        const bool created = m_db.createDatabase(Identifier(database));
        const std::string reason = serverReason(m_db);
        // Another run may have created it in the meantime.
        if (!created && !m_db.selectDatabase(database)) {
            return TransferResult::refused(
                TransferOutcome::Invalid, "库不存在且自动创建失败：" + database, ctl::kDatabase, reason);
        }
        if (created) {
            m_db.execute(sql::databaseCharset(Identifier(database)));
            m_db.selectDatabase(database);
        }
    }

    run.tableExisted = m_db.tableExists(table);
    if (!run.tableExisted) {
        std::vector<ColumnSpec> columns;
        ColumnSpec key;
        key.kind = 2;
        key.primaryKey = "ID";
        columns.push_back(key);
        ColumnSpec id;
        id.name = "ID";
        id.typeCode = kTypeBigint;
        id.allowNull = false;
        id.autoIncrement = true;
        columns.push_back(id);
        const int fileTimeFormat = fileTimeChoice(m_form).formatIndex;
        for (const FieldRule &rule : readRules(m_form)) {
            if (rule.target == "ID")
                continue;
            ColumnSpec c;
            c.name = rule.target;
            c.typeCode = columnTypeFor(rule.source, fileTimeFormat);
            columns.push_back(c);
        }
        // The character set goes into the statement itself: converting
        // afterwards would widen the text columns.
        if (!m_db.createTable(Identifier(table), columns, sql::kUtf8mb4TableOptions)) {
            const std::string reason = serverReason(m_db);
            // Two runs racing to create the same table: the loser goes on
            // with the one that now exists.
            if (!m_db.tableExists(table)) {
                return TransferResult::refused(
                    TransferOutcome::Invalid, "表不存在且自动创建失败：" + table, ctl::kTable, reason);
            }
        }
    }
    return std::nullopt;
}

std::string ArticleImporter::keyColumn() const
{
    return m_keyColumn.empty() ? controlText(m_form, ctl::kKeyColumn) : m_keyColumn;
}

// The run's key column, and once a word when no unique index backs it.
std::optional<KeyColumn> ArticleImporter::keyColumn(const Run &run)
{
    if (run.key.empty())
        return std::nullopt;
    const Identifier table(run.table), column(run.key);
    std::optional<KeyColumn> key = describeKeyColumn(m_db, run.database, table, column);
    if (!key)
        key = KeyColumn{run.database, table, column};
    // Once for a table: a watch runs batch after batch on it.
    const std::string said = run.database + '\n' + run.table + '\n' + run.key;
    if (!key->unique && m_keyNoticed != said) {
        m_keyNoticed = said;
        m_host.notice("字段 " + run.key + " 没有唯一索引：按键查找已存在的文章较慢，"
            + (key->indexed ? "" : "每批要读一遍整个表，") + "但每篇文章仍只导入一次");
    }
    return key;
}

} // namespace varnel
