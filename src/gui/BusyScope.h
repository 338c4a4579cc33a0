#pragma once

class QWidget;

namespace varnel::gui {

// Counts the loops of a window that pump events. While one runs, the window
// is not closed or destroyed under it: a close request is remembered and
// carried out when the last loop has unwound.
class BusyCounter {
public:
    bool busy() const { return m_depth > 0; }
    bool closePending() const { return m_closePending; }
    void requestClose() { m_closePending = true; }
    void clearClose() { m_closePending = false; }

private:
    friend class BusyScope;
    int m_depth = 0;
    bool m_closePending = false;
};

class BusyScope {
public:
    explicit BusyScope(BusyCounter &counter)
        : m_counter(counter)
    {
        ++m_counter.m_depth;
    }
    ~BusyScope() { --m_counter.m_depth; }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    BusyCounter &m_counter;
};

// A close asked for while a loop of the window ran is carried out once the
// last loop has returned.
void closeWhenIdle(QWidget &window, BusyCounter &busy);

} // namespace varnel::gui
