#include "transfer/Preview.h"
#include "form/MainControls.h"

#include "form/Control.h"
#include "text/ArticleFile.h"

namespace varnel {

std::vector<PreviewRow> previewImport(Form &form, const std::vector<std::string> &files, RandomSource &random,
    Clock &clock, const std::optional<std::vector<std::string>> &tableColumns)
{
    RowBuilder builder(form, random, clock);
    if (tableColumns)
        builder.resolvePositions([&tableColumns] { return *tableColumns; }, false);
    random.reseed();

    std::vector<PreviewRow> out;
    for (const std::string &path : files) {
        const DecodedArticle article = readArticle(path, articleEncodingFromIndex(controlIndex(form, ctl::kEncoding)));
        PreviewRow row;
        row.file = path;
        row.encoding = static_cast<int>(article.encoding);
        row.encodingCertain = article.encodingCertain;
        row.error = article.error;
        row.incomplete = article.incomplete;
        row.incompleteReason = article.incompleteReason;
        if (row.error.empty())
            row.values = builder.build(path, article.text);
        out.push_back(std::move(row));
    }
    return out;
}

} // namespace varnel
