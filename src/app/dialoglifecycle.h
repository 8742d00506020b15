#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace lumivox {

class WindowLayout;

// The two moments every window of the program acts on:
//
// - first showing: the load step runs once, just before the window first
//   appears (its opener has set it up and connected to it by then). When the
//   lifecycle is given the window's layout, the saved geometry is restored
//   first, so the window appears where it was left.
// - unloading: the save step runs once when the window goes, however it goes:
//   OK, ｷｬﾝｾﾙ, Esc and the close box (each hides the window) or the window being
//   destroyed while shown. With a layout, everything it keeps is written first,
//   while the grids still have their columns. A window that never appeared has
//   nothing of its own to keep: its save step does not run.
//
// Hold it as a member of the window, declared after every member the steps use:
// its destructor runs a save step that is still due.
class DialogLifecycle : public QObject
{
public:
    explicit DialogLifecycle(QWidget *window, WindowLayout *layout = nullptr);
    ~DialogLifecycle() override;

    void onFirstShow(std::function<void()> step) { m_firstShow = std::move(step); }
    void onUnload(std::function<void()> step) { m_unload = std::move(step); }

    bool hasUnloaded() const { return m_unloaded; }

    // Runs the save step now, if it is due; later closings do nothing.
    void unload();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    WindowLayout *m_layout;
    std::function<void()> m_firstShow;
    std::function<void()> m_unload;
    bool m_shown = false;
    bool m_unloaded = false;
};

// Set while a window changes its own controls (refilling a list, setting column
// widths, moving the active cell), so that the handlers of the signals this
// causes know to ignore them:
//
//     const RefillGuard::Scope refilling(m_refilling);
//     …
//     void onCellChanged() { if (m_refilling) return; … }
//
// Scopes nest; the guard is clear again when the outermost one ends, however
// it ends.
class RefillGuard
{
public:
    class Scope
    {
    public:
        explicit Scope(RefillGuard &guard) : m_guard(guard) { ++m_guard.m_depth; }
        ~Scope() { --m_guard.m_depth; }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        RefillGuard &m_guard;
    };

    bool isActive() const { return m_depth > 0; }
    explicit operator bool() const { return isActive(); }

private:
    int m_depth = 0;
};

} // namespace lumivox
