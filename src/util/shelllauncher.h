#pragma once

#include <QString>
#include <QtGlobal>

class QWidget;

namespace lumivox {

// Hands a document, folder, program, web address or mail address to the desktop,
// which opens it with the user's default application. Every launch returns -1
// when the desktop accepted the request and an error value otherwise (the
// classic shell's numbers: 2 file not found, 3 path not found, 5 access denied,
// 31 no application for it). The window is the owner of anything shown.
class ShellLauncher
{
public:
    static constexpr qint32 kSuccess = -1;
    static constexpr qint32 kErrorFileNotFound = 2;
    static constexpr qint32 kErrorPathNotFound = 3;
    static constexpr qint32 kErrorAccessDenied = 5;
    static constexpr qint32 kErrorNoAssociation = 31;

    // Show modes: 5 shows normally, 10 as the desktop prefers.
    static constexpr int kShowNormal = 5;
    static constexpr int kShowDefault = 10;

    // Whether the program started by the last LaunchProgram is still running.
    bool StillExecuting() const;

    qint32 Explore(QWidget *window, const QString &folder, int showMode);
    // Opens a file (relative to `directory` when that is given and the file
    // name is relative) with its application.
    qint32 LaunchDocument(QWidget *window, const QString &file, const QString &directory,
                          int showMode);
    // "mailto:" + the address, even an empty one.
    qint32 LaunchEmail(QWidget *window, const QString &address, int showMode);
    qint32 LaunchFolder(QWidget *window, const QString &folder, int showMode);
    // Starts a program (a path, or a name found on PATH) with its parameters in
    // `directory`; StillExecuting() then follows it.
    qint32 LaunchProgram(QWidget *window, const QString &program, const QString &parameters,
                         const QString &directory, int showMode);
    qint32 LaunchURL(QWidget *window, const QString &address, int showMode);
    // Sends a file to the default printer.
    qint32 PrintDocument(QWidget *window, const QString &file);

private:
    qint32 m_instance = 0; // what the last document or program launch gave, 0 before any
    qint64 m_processId = 0; // the program started by LaunchProgram, 0 if none
};

} // namespace lumivox
