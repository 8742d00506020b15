#pragma once

#include <QString>
#include <QtGlobal>

class QWidget;

namespace lumivox {

// Hands a document, program or web address to the desktop, which opens it with
// the user's default application. Every launch returns -1 when the desktop
// accepted the request and an error value otherwise (the classic shell's
// numbers: 2 file not found, 5 access denied, 31 no application for it). The
// window is the owner of anything shown.
class ShellLauncher
{
public:
    static constexpr qint32 kSuccess = -1;
    static constexpr qint32 kErrorFileNotFound = 2;
    static constexpr qint32 kErrorAccessDenied = 5;
    static constexpr qint32 kErrorNoAssociation = 31;

    // Show modes: 5 shows normally, 10 as the desktop prefers.
    static constexpr int kShowNormal = 5;
    static constexpr int kShowDefault = 10;

    // Opens a file (relative to `directory` when that is given and the file
    // name is relative) with its application.
    qint32 LaunchDocument(QWidget *window, const QString &file, const QString &directory,
                          int showMode);
    // Starts a program (a path, or a name found on PATH) with its parameters in
    // `directory`.
    qint32 LaunchProgram(QWidget *window, const QString &program, const QString &parameters,
                         const QString &directory, int showMode);
    qint32 LaunchURL(QWidget *window, const QString &address, int showMode);
};

} // namespace lumivox
