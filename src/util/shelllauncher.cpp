#include "util/shelllauncher.h"

#include "util/processalive.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace lumivox {

namespace {

// The classic shell's success value for a launch it kept track of.
constexpr qint32 kInstanceOk = 42;

qint32 openWithDesktop(const QUrl &url)
{
    if (!url.isValid())
        return ShellLauncher::kErrorFileNotFound;
    return QDesktopServices::openUrl(url) ? ShellLauncher::kSuccess
                                          : ShellLauncher::kErrorNoAssociation;
}

qint32 openFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir())
        return ShellLauncher::kErrorPathNotFound;
    return openWithDesktop(QUrl::fromLocalFile(info.absoluteFilePath()));
}

} // namespace

bool ShellLauncher::StillExecuting() const
{
    return m_instance != 0 && m_processId > 0 && processAlive(m_processId);
}

qint32 ShellLauncher::Explore(QWidget *, const QString &folder, int)
{
    return openFolder(folder);
}

qint32 ShellLauncher::LaunchDocument(QWidget *, const QString &file, const QString &directory, int)
{
    m_instance = 0;
    m_processId = 0;
    QString path = file;
    if (!directory.isEmpty() && QFileInfo(file).isRelative())
        path = QDir(directory).filePath(file);
    const QFileInfo info(path);
    if (file.isEmpty() || !info.exists())
        return kErrorFileNotFound;
    if (!info.isReadable())
        return kErrorAccessDenied;
    const qint32 result = openWithDesktop(QUrl::fromLocalFile(info.absoluteFilePath()));
    if (result == kSuccess)
        m_instance = kInstanceOk;
    return result;
}

qint32 ShellLauncher::LaunchEmail(QWidget *, const QString &address, int)
{
    return openWithDesktop(QUrl(QStringLiteral("mailto:") + address));
}

qint32 ShellLauncher::LaunchFolder(QWidget *, const QString &folder, int)
{
    return openFolder(folder);
}

qint32 ShellLauncher::LaunchProgram(QWidget *, const QString &program, const QString &parameters,
                                    const QString &directory, int)
{
    m_instance = 0;
    m_processId = 0;
    QString path = program;
    if (!program.isEmpty() && QFileInfo(program).isRelative()) {
        const QString inDirectory = QDir(directory.isEmpty() ? QDir::currentPath() : directory)
                                        .filePath(program);
        path = program.contains(u'/') || QFileInfo(inDirectory).isFile()
                   ? inDirectory
                   : QStandardPaths::findExecutable(program);
    }
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return kErrorFileNotFound;
    if (!info.isExecutable())
        return kErrorAccessDenied;
    qint64 pid = 0;
    if (!QProcess::startDetached(info.absoluteFilePath(), QProcess::splitCommand(parameters),
                                 directory, &pid))
        return kErrorAccessDenied;
    m_instance = kInstanceOk;
    m_processId = pid;
    return kSuccess;
}

qint32 ShellLauncher::LaunchURL(QWidget *, const QString &address, int)
{
    if (address.trimmed().isEmpty())
        return kErrorFileNotFound;
    return openWithDesktop(QUrl::fromUserInput(address));
}

qint32 ShellLauncher::PrintDocument(QWidget *, const QString &file)
{
    const QFileInfo info(file);
    if (file.isEmpty() || !info.isFile())
        return kErrorFileNotFound;
    // The desktop has no "print" verb; the system's print command stands in for it.
    const QString lp = QStandardPaths::findExecutable(QStringLiteral("lp"));
    if (lp.isEmpty())
        return kErrorNoAssociation;
    return QProcess::startDetached(lp, {QStringLiteral("--"), info.absoluteFilePath()})
               ? kSuccess
               : kErrorAccessDenied;
}

} // namespace lumivox
