#include "transfer/ExportRequest.h"

#include "form/Control.h"
#include "form/MainControls.h"
#include "mapping/FieldRule.h"
#include "mapping/RuleEditor.h"
#include "transfer/ExportFileNames.h"

namespace varnel {
namespace {

ExportConditions readConditions(Form &form)
{
    if (!controlChecked(form, ctl::kConditionsOn))
        return {};
    const Comparison comparison = controlChecked(form, ctl::kEqual) ? Comparison::Equal
        : controlChecked(form, ctl::kNotEqual)                      ? Comparison::NotEqual
        : controlChecked(form, ctl::kContains)                      ? Comparison::Contains
        : controlChecked(form, ctl::kNotContains)                   ? Comparison::NotContains
                                                                    : Comparison::Equal;
    return ExportConditions(controlText(form, ctl::kConditionNames), controlText(form, ctl::kConditionValues),
        controlText(form, ctl::kConditionSeparator), comparison, controlChecked(form, ctl::kAndLogic));
}

} // namespace

ExportRequest readExportRequest(Form &form)
{
    ExportRequest request;
    request.database = controlText(form, ctl::kDatabase);
    request.table = controlText(form, ctl::kTable);
    request.folder = controlText(form, ctl::kFolder);
    if (!request.folder.empty() && request.folder.back() != '/')
        request.folder += '/';
    request.extension = safeFileName(exportExtension(controlText(form, ctl::kFileTypes)));
    request.encoding = articleEncodingFromIndex(controlIndex(form, ctl::kEncoding));
    for (const FieldRule &rule : readRules(form)) {
        const auto source = dataSourceOfLabel(rule.source);
        if (source == DataSource::FileContent && !request.contentColumn)
            request.contentColumn = rule.target;
        else if (source == DataSource::FileMainName && !request.nameColumn)
            request.nameColumn = rule.target;
    }
    request.conditions = readConditions(form);
    return request;
}

std::optional<ExportProblem> ExportRequest::missingValue() const
{
    if (database.empty())
        return ExportProblem{"请输入库名！", ctl::kDatabase};
    if (table.empty())
        return ExportProblem{"请输入表名！", ctl::kTable};
    if (folder.empty())
        return ExportProblem{"请先选择要导出到的文章目录！", ctl::kFolder};
    return std::nullopt;
}

std::optional<ExportProblem> ExportRequest::missingContent() const
{
    if (!contentColumn)
        return ExportProblem{std::string(kNoContentColumn), {}};
    return std::nullopt;
}

} // namespace varnel
