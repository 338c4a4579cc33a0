#include "transfer/Preview.h"
#include "form/MainControls.h"

#include "form/Control.h"
#include "mapping/RuleEditor.h"
#include "mapping/RuleValues.h"
#include "text/ArticleFile.h"

namespace varnel {

std::vector<PreviewRow> previewImport(
    Form &form, const std::vector<std::string> &files, RandomSource &random, Clock &clock)
{
    const std::vector<FieldRule> rules = readRules(form);
    std::vector<RuleState> states;
    for (const FieldRule &rule : rules)
        states.push_back(prepareRule(rule));
    random.reseed();

    std::vector<PreviewRow> out;
    ValueContext context{random, clock, fileTimeChoice(form)};
    for (const std::string &path : files) {
        const DecodedArticle article = readArticle(path, articleEncodingFromIndex(controlIndex(form, ctl::kEncoding)));
        PreviewRow row;
        row.file = path;
        row.encoding = static_cast<int>(article.encoding);
        row.error = article.error;
        row.incomplete = article.incomplete;
        if (!row.error.empty()) {
            out.push_back(std::move(row));
            continue;
        }
        for (std::size_t k = 0; k < rules.size(); ++k) {
            if (rules[k].target == "ID")
                continue;
            std::string value = ruleValue(rules[k].source, states[k], path, article.text, context);
            if (value.empty())
                value.push_back(' '); // one space, as the import stores it
            row.values.push_back({rules[k].target, rules[k].source, std::move(value)});
        }
        out.push_back(std::move(row));
    }
    return out;
}

} // namespace varnel
