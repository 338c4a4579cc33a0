#pragma once

#include <string>

namespace varnel {

class Form;

// Puts a value typed on a command line into a control of the form, the way
// its kind takes it: a check or radio box is ticked by "真", "1", "true" or
// "yes"; a combo box takes an item's text or its index; a button takes the
// value as its tag; any other control takes it as its text. False, with the
// reason in `error`, when there is no such control or item.
bool applySetting(Form &form, const std::string &name, const std::string &value, std::string &error);

} // namespace varnel
