#include "transfer/TransferHost.h"

#include "form/Control.h"

namespace varnel {

void TransferHost::progress(Control *button, const ProgressEvent &event)
{
    if (button)
        setButtonCaption(*button, progressCaption(event));
    if (event.phase == RunPhase::Transferring && !event.current.empty())
        setWindowCaption(event.current);
    if (event.phase == RunPhase::Idle)
        restoreWindowCaption();
}

void TransferHost::setButtonCaption(Control &button, std::string_view caption)
{
    button.setText(caption);
}

} // namespace varnel
