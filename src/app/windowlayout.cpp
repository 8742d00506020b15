#include "app/windowlayout.h"

#include "app/appcontext.h"
#include "app/settingsfile.h"
#include "app/spreadgrid.h"
#include "app/toolset.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QSplitter>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace lumivox {

namespace {

int dpiX(const QWidget *w)
{
    const int dpi = w ? w->logicalDpiX() : 96;
    return dpi > 0 ? dpi : 96;
}

int dpiY(const QWidget *w)
{
    const int dpi = w ? w->logicalDpiY() : 96;
    return dpi > 0 ? dpi : 96;
}

int pxToTwips(int px, int dpi)
{
    return static_cast<int>(static_cast<qint64>(px) * 1440 / dpi);
}

// Rounded to the nearest pixel, halves away from zero, so that a position left
// of or above the screen comes back where it was saved.
int twipsToPx(int twips, int dpi)
{
    const qint64 scaled = static_cast<qint64>(twips) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

// Saved positions are measured from the primary screen's top-left corner.
QPoint origin()
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    return primary ? primary->geometry().topLeft() : QPoint();
}

// The screen a window will appear on: its opener's, or the primary one.
QRect screenOf(const QWidget *w)
{
    const QWidget *opener = w->parentWidget() ? w->parentWidget()->window() : w;
    QScreen *screen = opener->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

// Available areas of every screen, the primary one first.
QList<QRect> availableScreens()
{
    QList<QRect> areas;
    if (const QScreen *primary = QGuiApplication::primaryScreen())
        areas << primary->availableGeometry();
    for (const QScreen *screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen())
            areas << screen->availableGeometry();
    }
    return areas;
}

// The outer size a window will have when shown, as far as it is known (the frame
// only once the window system has told it); one that was never sized is first
// fitted to its contents, as showing it would.
QSize shownSize(QWidget *w)
{
    if (!w->isVisible() && !w->testAttribute(Qt::WA_Resized))
        w->adjustSize();
    return w->frameGeometry().size();
}

// Moves a window so that its frame's top-left corner is at `frameTopLeft`.
// Before the window exists on the screen, move() takes the frame's corner, as
// wanted. Once it exists but is not yet mapped, Qt would take the point as the
// inner area's corner (the frame is still unknown) and the window would creep up
// by its title bar at each opening: the window system is then told in so many
// words that the point is the frame's.
void moveFrame(QWidget *window, QPoint frameTopLeft)
{
    window->move(frameTopLeft);
    if (window->testAttribute(Qt::WA_WState_Created) && !window->testAttribute(Qt::WA_Mapped)) {
        if (QWindow *handle = window->windowHandle())
            handle->setFramePosition(frameTopLeft);
    }
}

} // namespace

int pxToTwipsX(int px, const QWidget *w)
{
    return pxToTwips(px, dpiX(w));
}

int pxToTwipsY(int px, const QWidget *w)
{
    return pxToTwips(px, dpiY(w));
}

int twipsToPxX(int twips, const QWidget *w)
{
    return twipsToPx(twips, dpiX(w));
}

int twipsToPxY(int twips, const QWidget *w)
{
    return twipsToPx(twips, dpiY(w));
}

WindowLayout::WindowLayout(QWidget *window, const QString &iniPath, const QString &section, Kind kind)
    : m_window(window), m_iniPath(iniPath), m_section(section), m_kind(kind)
{
}

WindowLayout::WindowLayout(QWidget *window, const AppContext &context, const QString &section, Kind kind)
    : WindowLayout(window, context.iniPath(), section, kind)
{
}

int WindowLayout::readInt(const QString &key) const
{
    return SettingsFile().GetValueLong(m_iniPath, m_section, key);
}

void WindowLayout::writeInt(const QString &key, int value) const
{
    SettingsFile().SetValueString(m_iniPath, m_section, key, QString::number(value));
}

bool WindowLayout::restoreGeometry()
{
    const int top = readInt(QStringLiteral("Top"));
    const int left = readInt(QStringLiteral("Left"));
    const QPoint at = origin() + QPoint(twipsToPxX(left, m_window), twipsToPxY(top, m_window));
    if (m_kind == Kind::Resizable) {
        if (top < 1)
            return false;
        const int width = readInt(QStringLiteral("Width"));
        const int height = readInt(QStringLiteral("Height"));
        const QSize size = width > 0 && height > 0
                               ? QSize(twipsToPxX(width, m_window), twipsToPxY(height, m_window))
                               : m_window->size();
        place(at, size, true);
        return true;
    }
    const QSize size = shownSize(m_window);
    const QRect screen = screenOf(m_window);
    const QPoint centred = screen.topLeft()
                           + QPoint(std::max(0, (screen.width() - size.width()) / 2),
                                    std::max(0, (screen.height() - size.height()) / 2));
    place(QPoint(left >= 1 ? at.x() : centred.x(), top >= 1 ? at.y() : centred.y()), size, false);
    return top >= 1 || left >= 1;
}

WindowLayout::Placement WindowLayout::keepOnScreen(QPoint frameTopLeft, QSize size,
                                                   const QList<QRect> &screens)
{
    if (screens.isEmpty())
        return {frameTopLeft, size};
    // The title bar is what the user takes a window by: enough of it must lie on
    // one screen.
    const QRect titleBar(frameTopLeft, QSize(size.width(), std::min(size.height(), 24)));
    const QRect *host = nullptr;
    for (const QRect &screen : screens) {
        const QRect shown = screen.intersected(titleBar);
        if (shown.width() >= std::min(size.width(), 100) && shown.height() >= std::min(size.height(), 10)) {
            host = &screen;
            break;
        }
    }
    if (host) {
        return {frameTopLeft, size.boundedTo(host->size())};
    }
    const QRect &primary = screens.first();
    const QSize fitted = size.boundedTo(primary.size());
    return {primary.topLeft() + QPoint((primary.width() - fitted.width()) / 2,
                                       (primary.height() - fitted.height()) / 2),
            fitted};
}

void WindowLayout::place(QPoint frameTopLeft, QSize size, bool resize)
{
    const Placement p = keepOnScreen(frameTopLeft, size, availableScreens());
    if ((resize || p.size != size) && p.size != m_window->size())
        m_window->resize(p.size);
    moveFrame(m_window, p.frameTopLeft);
}

void WindowLayout::saveGeometry() const
{
    QRect frame = m_window->frameGeometry();
    QRect inner = m_window->geometry();
    if (m_window->isMaximized() || m_window->isFullScreen()) {
        // What comes back next time is the window as it was before it filled the screen.
        const QRect normal = m_window->normalGeometry();
        if (normal.isValid()) {
            frame = QRect(normal.topLeft() - (inner.topLeft() - frame.topLeft()), frame.size());
            inner = normal;
        }
    }
    const QPoint at = frame.topLeft() - origin();
    writeInt(QStringLiteral("Top"), pxToTwipsY(at.y(), m_window));
    writeInt(QStringLiteral("Left"), pxToTwipsX(at.x(), m_window));
    if (m_kind == Kind::Resizable) {
        writeInt(QStringLiteral("Width"), pxToTwipsX(inner.width(), m_window));
        writeInt(QStringLiteral("Height"), pxToTwipsY(inner.height(), m_window));
    }
}

int WindowLayout::storedPaneTwips() const
{
    return readInt(QStringLiteral("SpreadW"));
}

void WindowLayout::restorePane(QSplitter *splitter) const
{
    const int twips = storedPaneTwips();
    if (twips <= 0)
        return;
    if (QLayout *layout = splitter->window()->layout())
        layout->activate(); // the panes get their real sizes first
    setPaneTwips(splitter, twips);
}

void WindowLayout::savePaneTwips(int twips) const
{
    writeInt(QStringLiteral("SpreadW"), twips);
}

int WindowLayout::paneTwips(const QSplitter *splitter)
{
    return pxToTwipsX(splitter->sizes().value(0), splitter);
}

void WindowLayout::setPaneTwips(QSplitter *splitter, int twips)
{
    QList<int> sizes = splitter->sizes();
    if (sizes.size() < 2)
        return;
    int total = 0;
    for (int s : sizes)
        total += s;
    if (total <= 0) {
        const int extent = splitter->orientation() == Qt::Horizontal ? splitter->width() : splitter->height();
        total = extent - splitter->handleWidth() * int(sizes.size() - 1);
    }
    const int first = twipsToPxX(twips, splitter);
    int rest = total - first;
    for (int i = 2; i < sizes.size(); ++i)
        rest -= sizes[i];
    const bool secondShown = splitter->widget(1) && !splitter->widget(1)->isHidden();
    sizes[0] = first;
    sizes[1] = std::max(secondShown ? 1 : 0, rest);
    splitter->setSizes(sizes);
}

void WindowLayout::restoreColumns(SpreadGrid *grid) const
{
    grid->restoreColumnWidths(m_iniPath, m_section);
}

void WindowLayout::saveColumns(const SpreadGrid *grid) const
{
    grid->saveColumnWidths(m_iniPath, m_section);
}

void WindowLayout::restoreFontSize(ToolSet &tools) const
{
    checkFontSizeTool(tools, readInt(QStringLiteral("SpreadFontSize")));
}

void WindowLayout::saveFontSize(const ToolSet &tools) const
{
    writeInt(QStringLiteral("SpreadFontSize"), tools.checkedNumber(QStringLiteral("ID_mnuFontSize"), 5));
}

void WindowLayout::save() const
{
    saveGeometry();
    if (m_pane)
        savePaneTwips(paneTwips(m_pane));
    for (const SpreadGrid *grid : m_grids)
        saveColumns(grid);
    if (m_tools)
        saveFontSize(*m_tools);
}

void WindowLayout::centre(QWidget *window)
{
    const QSize size = shownSize(window);
    const QRect screen = screenOf(window);
    moveFrame(window, screen.topLeft() + QPoint(std::max(0, (screen.width() - size.width()) / 2),
                                                std::max(0, (screen.height() - size.height()) / 2)));
}

} // namespace lumivox
