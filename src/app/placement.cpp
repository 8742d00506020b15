#include "app/placement.h"

namespace lumivox {

void placeDialog(QWidget *dialog, const QString &iniPath, const QString &section)
{
    WindowLayout(dialog, iniPath, section, WindowLayout::Kind::Dialog).restoreGeometry();
}

void saveDialogPosition(const QWidget *dialog, const QString &iniPath, const QString &section)
{
    WindowLayout(const_cast<QWidget *>(dialog), iniPath, section, WindowLayout::Kind::Dialog).saveGeometry();
}

bool restoreWindowGeometry(QWidget *window, const QString &iniPath, const QString &section)
{
    return WindowLayout(window, iniPath, section, WindowLayout::Kind::Resizable).restoreGeometry();
}

void saveWindowGeometry(const QWidget *window, const QString &iniPath, const QString &section)
{
    WindowLayout(const_cast<QWidget *>(window), iniPath, section, WindowLayout::Kind::Resizable)
        .saveGeometry();
}

void centreOnScreen(QWidget *window)
{
    WindowLayout::centre(window);
}

} // namespace lumivox
