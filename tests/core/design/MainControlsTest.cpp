#include "form/MainControls.h"
#include "design/FormTable.h"
#include "form/MemoryForm.h"
#include "mapping/FieldRule.h"
#include "mapping/RuleEditor.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

// A control name the engines read that the main window does not have would
// read as empty text for ever: every name they use is in its design table.
TEST(MainControls, EveryNameTheEnginesReadIsAControlOfTheMainWindow)
{
    MemoryForm form(mainFormSpec());
    for (std::string_view name : ctl::kAll)
        EXPECT_NE(form.control(name), nullptr) << name;
    for (int source = 0; source < kDataSourceCount; ++source) {
        for (const OptionControl &option : optionControls(static_cast<DataSource>(source)))
            EXPECT_NE(form.control(option.name), nullptr) << option.name;
    }
}

} // namespace
} // namespace varnel
