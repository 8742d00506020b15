#pragma once

// The older placement calls, kept while the windows move to WindowLayout and
// DialogLifecycle (app/windowlayout.h, app/dialoglifecycle.h), which new code
// uses. Each call below is one step of a WindowLayout.

#include "app/windowlayout.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

namespace lumivox {

// Where a dialog goes: the saved Top or Left when it is 1 or more, otherwise
// centred on that axis, (screen − window) / 2 in whole twips, never negative.
int dialogEdge(int saved, int screenTwips, int windowTwips);

// WindowLayout(dialog, …, Kind::Dialog).restoreGeometry() / saveGeometry().
void placeDialog(QWidget *dialog, const QString &iniPath, const QString &section);
void saveDialogPosition(const QWidget *dialog, const QString &iniPath, const QString &section);

// WindowLayout(window, …, Kind::Resizable).restoreGeometry() / saveGeometry().
bool restoreWindowGeometry(QWidget *window, const QString &iniPath, const QString &section);
void saveWindowGeometry(const QWidget *window, const QString &iniPath, const QString &section);

// WindowLayout::centre().
void centreOnScreen(QWidget *window);

// A resizable window's geometry as the settings keep it, in twips.
struct SavedGeometry {
    int top = 0;
    int left = 0;
    int width = 0;
    int height = 0;
};
SavedGeometry geometryToSave(const QRect &frameGeometry, const QRect &geometry,
                             const QPoint &screenOrigin, int dpiX, int dpiY);
struct RestoredGeometry {
    QPoint frameTopLeft;
    QSize size;
};
RestoredGeometry geometryToRestore(const SavedGeometry &saved, const QPoint &screenOrigin,
                                   int dpiX, int dpiY);

} // namespace lumivox
