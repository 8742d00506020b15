#include "util/shelllauncher.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace lumivox {

namespace {

qint32 openWithDesktop(const QUrl &url)
{
    if (!url.isValid())
        return ShellLauncher::kErrorFileNotFound;
    return QDesktopServices::openUrl(url) ? ShellLauncher::kSuccess
                                          : ShellLauncher::kErrorNoAssociation;
}

} // namespace

qint32 ShellLauncher::LaunchDocument(QWidget *, const QString &file, const QString &directory, int)
{
    QString path = file;
    if (!directory.isEmpty() && QFileInfo(file).isRelative())
        path = QDir(directory).filePath(file);
    const QFileInfo info(path);
    if (file.isEmpty() || !info.exists())
        return kErrorFileNotFound;
    if (!info.isReadable())
        return kErrorAccessDenied;
    return openWithDesktop(QUrl::fromLocalFile(info.absoluteFilePath()));
}

qint32 ShellLauncher::LaunchProgram(QWidget *, const QString &program, const QString &parameters,
                                    const QString &directory, int)
{
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
    return QProcess::startDetached(info.absoluteFilePath(), QProcess::splitCommand(parameters), directory)
               ? kSuccess
               : kErrorAccessDenied;
}

qint32 ShellLauncher::LaunchURL(QWidget *, const QString &address, int)
{
    if (address.trimmed().isEmpty())
        return kErrorFileNotFound;
    return openWithDesktop(QUrl::fromUserInput(address));
}

} // namespace lumivox
