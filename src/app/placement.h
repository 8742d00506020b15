#pragma once

// The older placement calls, kept while the windows move to WindowLayout and
// DialogLifecycle (app/windowlayout.h, app/dialoglifecycle.h), which new code
// uses. Each call below is one step of a WindowLayout.

#include "app/windowlayout.h"

#include <QString>

class QWidget;

namespace lumivox {

// WindowLayout(dialog, …, Kind::Dialog).restoreGeometry() / saveGeometry().
void placeDialog(QWidget *dialog, const QString &iniPath, const QString &section);
void saveDialogPosition(const QWidget *dialog, const QString &iniPath, const QString &section);

// WindowLayout(window, …, Kind::Resizable).restoreGeometry() / saveGeometry().
bool restoreWindowGeometry(QWidget *window, const QString &iniPath, const QString &section);
void saveWindowGeometry(const QWidget *window, const QString &iniPath, const QString &section);

// WindowLayout::centre().
void centreOnScreen(QWidget *window);

} // namespace lumivox
