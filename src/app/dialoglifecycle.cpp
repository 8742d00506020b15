#include "app/dialoglifecycle.h"

#include "app/windowlayout.h"

#include <QEvent>
#include <QWidget>

namespace lumivox {

DialogLifecycle::DialogLifecycle(QWidget *window, WindowLayout *layout)
    : m_window(window), m_layout(layout)
{
    m_window->installEventFilter(this);
}

DialogLifecycle::~DialogLifecycle()
{
    unload();
}

void DialogLifecycle::unload()
{
    if (!m_shown || m_unloaded)
        return;
    m_unloaded = true;
    if (m_layout)
        m_layout->save();
    if (m_unload)
        m_unload();
}

bool DialogLifecycle::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return false;
    // The show event comes after the window exists but before it is mapped, and
    // before the window's own showEvent.
    if (event->type() == QEvent::Show && !m_shown) {
        m_shown = true;
        if (m_layout)
            m_layout->restoreGeometry();
        if (m_firstShow)
            m_firstShow();
    } else if (event->type() == QEvent::Hide && !event->spontaneous()) {
        unload(); // a minimised window is hidden spontaneously and stays loaded
    }
    return false;
}

} // namespace lumivox
