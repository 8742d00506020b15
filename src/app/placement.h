#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

namespace lumivox {

// The settings file keeps every position, size and width in twips (1/1440 inch):
// pixels × 1440 / the screen's logical DPI, 15 twips per pixel at 96 DPI.
int pxToTwipsX(int px, const QWidget *w);
int pxToTwipsY(int px, const QWidget *w);
int twipsToPxX(int twips, const QWidget *w);
int twipsToPxY(int twips, const QWidget *w);

// Where a dialog goes: the saved Top or Left when it is 1 or more, otherwise
// centred on that axis, (screen − window) / 2 in whole twips, never negative.
int dialogEdge(int saved, int screenTwips, int windowTwips);

// Places a dialog from "Top" and "Left" of its section (the rule above).
void placeDialog(QWidget *dialog, const QString &iniPath, const QString &section);
// Writes the dialog's current "Top" and "Left" to its section.
void saveDialogPosition(const QWidget *dialog, const QString &iniPath, const QString &section);

// A resizable window's geometry as the settings keep it, in twips: "Top" and
// "Left" are the frame's top-left corner on its screen (where move() puts it),
// "Width" and "Height" the window's own size without the frame (what resize()
// sets). The frame is left out because it is unknown until the window is shown,
// and a restore runs before that: a saved frame would be added again at every
// start.
struct SavedGeometry {
    int top = 0;
    int left = 0;
    int width = 0;
    int height = 0;
};
// What to store for a window with the given frame and inner geometry (pixels,
// global), on a screen whose top-left corner is screenOrigin.
SavedGeometry geometryToSave(const QRect &frameGeometry, const QRect &geometry,
                             const QPoint &screenOrigin, int dpiX, int dpiY);
// Where a saved geometry puts the window: the frame's top-left corner (global
// pixels) and the inner size; an empty size when none was saved.
struct RestoredGeometry {
    QPoint frameTopLeft;
    QSize size;
};
RestoredGeometry geometryToRestore(const SavedGeometry &saved, const QPoint &screenOrigin,
                                   int dpiX, int dpiY);

// A resizable window restores "Left", "Top", "Width", "Height" together, only
// when the saved Top is 1 or more. Returns whether it did.
bool restoreWindowGeometry(QWidget *window, const QString &iniPath, const QString &section);
void saveWindowGeometry(const QWidget *window, const QString &iniPath, const QString &section);

// Centres a window on its screen, never at a negative position.
void centreOnScreen(QWidget *window);

} // namespace lumivox
