#pragma once

#include <QString>

class QWidget;

namespace lumivox {

// A condition the user must know about: information icon, OK, titled with the
// window's caption.
void informUser(QWidget *window, const QString &text);

// A database write that did not happen (disk full, file locked, …). Nothing the
// user typed is dropped silently: the message says what was not stored and why.
void reportWriteFailure(QWidget *window, const QString &what, const QString &reason);

} // namespace lumivox
