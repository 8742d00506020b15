#pragma once

class QApplication;

namespace lumivox {

// Enter (or the keypad's Enter) on the focused push or tool button presses it,
// in every window, as on the desktop the program comes from; Qt by itself
// presses only a dialog's default button, and a tool button not at all. A check
// box or an option button is not toggled by Enter. Held down, Enter presses
// once. Installed once, at start.
void installEnterPressesButton(QApplication &app);

} // namespace lumivox
