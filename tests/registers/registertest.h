#pragma once

// What the register tests share: opening a register window on a test folder and
// reading its record counter and controls.
#include "support/testapp.h"

#include <QLabel>
#include <QTest>
#include <memory>

namespace lumivox::test {

// Opens a register (or any window taking the context) the way its opener does,
// and waits until it is the active window.
template <class Window>
std::unique_ptr<Window> openWindow(TestApp &app)
{
    auto window = std::make_unique<Window>(app.context());
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get()))
        qWarning("the register did not become active");
    return window;
}

// The record counter, as "(2/3)".
inline QString counter(QWidget *window)
{
    return child<QLabel>(window, "lblRecord")->text();
}

inline bool enabled(QWidget *window, const char *name)
{
    return child(window, name)->isEnabled();
}

} // namespace lumivox::test
