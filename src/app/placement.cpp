#include "app/placement.h"

namespace lumivox {

namespace {

int pxToTwips(int px, int dpi)
{
    return static_cast<int>(static_cast<qint64>(px) * 1440 / (dpi > 0 ? dpi : 96));
}

int twipsToPx(int twips, int dpi)
{
    const qint64 scaled = static_cast<qint64>(twips) * (dpi > 0 ? dpi : 96);
    return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

} // namespace

int dialogEdge(int saved, int screenTwips, int windowTwips)
{
    if (saved >= 1)
        return saved;
    const int centred = (screenTwips - windowTwips) / 2;
    return centred < 0 ? 0 : centred;
}

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

SavedGeometry geometryToSave(const QRect &frameGeometry, const QRect &geometry,
                             const QPoint &screenOrigin, int dpiX, int dpiY)
{
    const QPoint at = frameGeometry.topLeft() - screenOrigin;
    return {pxToTwips(at.y(), dpiY), pxToTwips(at.x(), dpiX), pxToTwips(geometry.width(), dpiX),
            pxToTwips(geometry.height(), dpiY)};
}

RestoredGeometry geometryToRestore(const SavedGeometry &saved, const QPoint &screenOrigin,
                                   int dpiX, int dpiY)
{
    RestoredGeometry r;
    r.frameTopLeft = screenOrigin + QPoint(twipsToPx(saved.left, dpiX), twipsToPx(saved.top, dpiY));
    if (saved.width > 0 && saved.height > 0)
        r.size = QSize(twipsToPx(saved.width, dpiX), twipsToPx(saved.height, dpiY));
    return r;
}

} // namespace lumivox
