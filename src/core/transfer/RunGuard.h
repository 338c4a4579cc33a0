#pragma once

#include "form/Control.h"

#include <functional>

namespace varnel {

// One run of an engine, from its first check to its final message: the
// engine is running and the form in use for as long as the guard lives, and
// on every way out (an early message, an exception) the engine is idle again
// and `ended` tells the host so.
class RunGuard {
public:
    RunGuard(bool &running, Form &form, std::function<void()> ended)
        : m_running(running)
        , m_form(form)
        , m_ended(std::move(ended))
    {
        m_running = true;
        m_form.beginUse();
    }
    ~RunGuard()
    {
        m_running = false;
        if (m_ended)
            m_ended();
        m_form.endUse();
    }
    RunGuard(const RunGuard &) = delete;
    RunGuard &operator=(const RunGuard &) = delete;

private:
    bool &m_running;
    Form &m_form;
    std::function<void()> m_ended;
};

} // namespace varnel
