#include "transfer/TransferHost.h"

#include "settings/Control.h"

namespace varnel {

void TransferHost::setButtonCaption(Control &button, std::string_view caption)
{
    button.setText(caption);
}

} // namespace varnel
