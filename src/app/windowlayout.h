#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QScreen;
class QSplitter;
class QWidget;

namespace lumivox {

struct AppContext;
class SpreadGrid;
class ToolSet;

// The settings file keeps every position, size and width in twips (1/1440 inch):
// pixels × 1440 / the screen's logical DPI, 15 twips per pixel at 96 DPI.
int pxToTwipsX(int px, const QWidget *w);
int pxToTwipsY(int px, const QWidget *w);
int twipsToPxX(int twips, const QWidget *w);
int twipsToPxY(int twips, const QWidget *w);

// How one window keeps its layout between runs, in its own section of the
// settings file: where it stands, the width of its list pane ("SpreadW"), the
// widths of its grid's columns ("C1" … "Cn") and the font size of its lists
// ("SpreadFontSize").
//
// Geometry. "Top" and "Left" are the top-left corner of the window's frame (title
// bar included), measured from the top-left corner of the primary screen, as the
// user sees the window. A resizable window also keeps "Width" and "Height": the
// size of the window without its frame, which is what can be set before the
// window is shown (the frame's size is known only once the window manager has
// framed it). A resizable window comes back to its saved geometry when the saved
// Top is 1 or more, and otherwise keeps its design size and lets the system place
// it. A dialog goes to its saved Top and Left when each is 1 or more and is
// centred on that axis of the screen otherwise.
//
// Restore before the window is first shown: the position is then given to the
// window system as the frame's position, so the window manager puts the frame
// (not the inner area) where it was, and a window opened and closed any number of
// times stays where the user left it. A window whose saved place is on no screen
// today (a monitor that is gone, a hand-edited value) comes back centred on the
// primary screen, never larger than it.
//
// Parts registered with keep…() are written by save() together with the
// geometry; a window restores each part when its contents are ready (a grid's
// widths once the grid has its columns).
class WindowLayout
{
public:
    enum class Kind {
        Resizable, // Top, Left, Width, Height
        Dialog,    // Top, Left; centred when not saved
    };

    WindowLayout(QWidget *window, const QString &iniPath, const QString &section, Kind kind);
    WindowLayout(QWidget *window, const AppContext &context, const QString &section, Kind kind);

    const QString &section() const { return m_section; }

    // Places (and for a resizable window sizes) the window from its section. Call
    // it before the window is shown (DialogLifecycle does, when it is given the
    // layout). Returns whether a saved geometry was applied (a dialog is placed
    // either way).
    bool restoreGeometry();
    void saveGeometry() const;

    // "SpreadW": the width of the splitter's first pane. The stored width is
    // applied only when it is above 0.
    void keepPane(QSplitter *splitter) { m_pane = splitter; }
    int storedPaneTwips() const;
    void restorePane(QSplitter *splitter) const;
    void savePaneTwips(int twips) const;
    // The first pane's width in twips, and setting it (the rest goes to the others).
    static int paneTwips(const QSplitter *splitter);
    static void setPaneTwips(QSplitter *splitter, int twips);

    // "C1" … "Cn" of a grid (see SpreadGrid::restoreColumnWidths).
    void keepColumns(SpreadGrid *grid) { m_grids << grid; }
    void restoreColumns(SpreadGrid *grid) const;
    void saveColumns(const SpreadGrid *grid) const;

    // "SpreadFontSize": which of the five font-size tools is checked.
    void keepFontSize(ToolSet *tools) { m_tools = tools; }
    void restoreFontSize(ToolSet &tools) const;
    void saveFontSize(const ToolSet &tools) const;

    // Writes the geometry and every part registered with keep…().
    void save() const;

    // Centres a window on its screen (the primary one before it is shown), never
    // at a negative position.
    static void centre(QWidget *window);

    // Where a frame of `frameSize` may stand on `screens` (available areas,
    // global pixels): `frameTopLeft` when its title bar can be reached there,
    // otherwise centred on the first (primary) screen; the size is cut to that
    // screen. Exposed for its callers' tests.
    struct Placement {
        QPoint frameTopLeft;
        QSize size;
    };
    static Placement keepOnScreen(QPoint frameTopLeft, QSize size, const QList<QRect> &screens);

private:
    int readInt(const QString &key) const;
    void writeInt(const QString &key, int value) const;
    void place(QPoint frameTopLeft, QSize size, bool resize);

    QWidget *m_window;
    QString m_iniPath;
    QString m_section;
    Kind m_kind;
    QSplitter *m_pane = nullptr;
    QList<SpreadGrid *> m_grids;
    ToolSet *m_tools = nullptr;
};

} // namespace lumivox
