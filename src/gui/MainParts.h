#pragma once

class QWidget;

namespace varnel::gui {

class BusyCounter;
class ConnectionSession;
class QtForm;

// What the parts of the main window share: the window (owner of their boxes),
// its form, the connection session and the count of its running loops.
struct MainParts {
    QWidget &window;
    QtForm &form;
    ConnectionSession &session;
    BusyCounter &busy;
};

} // namespace varnel::gui
