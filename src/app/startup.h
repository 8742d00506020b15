#pragma once

#include "app/appcontext.h"

#include <QString>
#include <functional>

class QApplication;
class QFont;
class QWidget;

namespace lumivox {

inline constexpr int kExitStartFailed = 1;
inline constexpr int kExitAlreadyRunning = 2;
inline constexpr auto kSharedConnection = "lumivox";

// Japanese throughout: Qt's own dialogs in Japanese, Japanese glyph forms in the
// interface font, the product name and the window icon; Enter presses the
// focused button. The application is made while a JapaneseSystemLocale
// (app/japaneselocale.h) lives, so that Qt's dates are Japanese too.
void prepareApplication(QApplication &app);

// A Mincho (serif) font of the given size for notice bodies, falling back to
// whatever Mincho or serif CJK font is installed.
QFont minchoFont(int points);

// The start routine. Chooses the data folder (dataFolderFor: appDir, or the
// user's data folder, prepared on first use), refuses a second instance on that
// folder, opens the shared connection on its Pennora.db, creates the keyword
// history, shows the main window made by createMainWindow and waits until it
// has closed; then closes the connection. Returns the process's exit code: 0
// after a normal run, kExitAlreadyRunning when another instance holds the data
// folder, kExitStartFailed after the start-up error message.
int runLumivox(const QString &appDir,
               const std::function<QWidget *(AppContext &)> &createMainWindow);

} // namespace lumivox
