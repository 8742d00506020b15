#include "app/placement.h"

#include "app/settingsfile.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace lumivox {

namespace {

int dpiX(const QWidget *w)
{
    const int dpi = w ? w->logicalDpiX() : 96;
    return dpi > 0 ? dpi : 96;
}

int dpiY(const QWidget *w)
{
    const int dpi = w ? w->logicalDpiY() : 96;
    return dpi > 0 ? dpi : 96;
}

int pxToTwips(int px, int dpi)
{
    return static_cast<int>(static_cast<qint64>(px) * 1440 / (dpi > 0 ? dpi : 96));
}

// Rounded to the nearest pixel, halves away from zero, so that a position left
// of or above the screen comes back where it was saved.
int twipsToPx(int twips, int dpi)
{
    const qint64 scaled = static_cast<qint64>(twips) * (dpi > 0 ? dpi : 96);
    return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

QRect screenRect(const QWidget *w)
{
    QScreen *screen = w && w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

// The outer size of a window; one that was never sized is first fitted to its
// contents, as it will be when it is shown.
QSize windowSize(QWidget *w)
{
    if (!w->isVisible() && !w->testAttribute(Qt::WA_Resized))
        w->adjustSize();
    return w->frameGeometry().size();
}

} // namespace

int pxToTwipsX(int px, const QWidget *w)
{
    return pxToTwips(px, dpiX(w));
}

int pxToTwipsY(int px, const QWidget *w)
{
    return pxToTwips(px, dpiY(w));
}

int twipsToPxX(int twips, const QWidget *w)
{
    return twipsToPx(twips, dpiX(w));
}

int twipsToPxY(int twips, const QWidget *w)
{
    return twipsToPx(twips, dpiY(w));
}

int dialogEdge(int saved, int screenTwips, int windowTwips)
{
    if (saved >= 1)
        return saved;
    const int centred = (screenTwips - windowTwips) / 2;
    return centred < 0 ? 0 : centred;
}

void placeDialog(QWidget *dialog, const QString &iniPath, const QString &section)
{
    const SettingsFile profile;
    const QRect screen = screenRect(dialog);
    const QSize size = windowSize(dialog);
    const int top = dialogEdge(profile.GetValueLong(iniPath, section, QStringLiteral("Top")),
                               pxToTwipsY(screen.height(), dialog),
                               pxToTwipsY(size.height(), dialog));
    const int left = dialogEdge(profile.GetValueLong(iniPath, section, QStringLiteral("Left")),
                                pxToTwipsX(screen.width(), dialog),
                                pxToTwipsX(size.width(), dialog));
    dialog->move(screen.left() + twipsToPxX(left, dialog), screen.top() + twipsToPxY(top, dialog));
}

void saveDialogPosition(const QWidget *dialog, const QString &iniPath, const QString &section)
{
    const SettingsFile profile;
    const QRect screen = screenRect(dialog);
    const QPoint at = dialog->frameGeometry().topLeft() - screen.topLeft();
    profile.SetValueString(iniPath, section, QStringLiteral("Top"),
                           QString::number(pxToTwipsY(at.y(), dialog)));
    profile.SetValueString(iniPath, section, QStringLiteral("Left"),
                           QString::number(pxToTwipsX(at.x(), dialog)));
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

bool restoreWindowGeometry(QWidget *window, const QString &iniPath, const QString &section)
{
    const SettingsFile profile;
    SavedGeometry saved;
    saved.top = profile.GetValueLong(iniPath, section, QStringLiteral("Top"));
    if (saved.top < 1)
        return false;
    saved.left = profile.GetValueLong(iniPath, section, QStringLiteral("Left"));
    saved.width = profile.GetValueLong(iniPath, section, QStringLiteral("Width"));
    saved.height = profile.GetValueLong(iniPath, section, QStringLiteral("Height"));
    const RestoredGeometry r =
        geometryToRestore(saved, screenRect(window).topLeft(), dpiX(window), dpiY(window));
    window->move(r.frameTopLeft);
    if (!r.size.isEmpty())
        window->resize(r.size);
    return true;
}

void saveWindowGeometry(const QWidget *window, const QString &iniPath, const QString &section)
{
    const SettingsFile profile;
    const SavedGeometry saved = geometryToSave(window->frameGeometry(), window->geometry(),
                                               screenRect(window).topLeft(), dpiX(window),
                                               dpiY(window));
    profile.SetValueString(iniPath, section, QStringLiteral("Top"), QString::number(saved.top));
    profile.SetValueString(iniPath, section, QStringLiteral("Left"), QString::number(saved.left));
    profile.SetValueString(iniPath, section, QStringLiteral("Width"), QString::number(saved.width));
    profile.SetValueString(iniPath, section, QStringLiteral("Height"), QString::number(saved.height));
}

void centreOnScreen(QWidget *window)
{
    const QRect screen = screenRect(window);
    const QSize size = windowSize(window);
    window->move(screen.left() + std::max(0, (screen.width() - size.width()) / 2),
                 screen.top() + std::max(0, (screen.height() - size.height()) / 2));
}

} // namespace lumivox
