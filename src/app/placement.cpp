#include "app/placement.h"

#include "app/privateprofile.h"

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
    return static_cast<int>(static_cast<qint64>(px) * 1440 / dpiX(w));
}

int pxToTwipsY(int px, const QWidget *w)
{
    return static_cast<int>(static_cast<qint64>(px) * 1440 / dpiY(w));
}

int twipsToPxX(int twips, const QWidget *w)
{
    return static_cast<int>((static_cast<qint64>(twips) * dpiX(w) + 720) / 1440);
}

int twipsToPxY(int twips, const QWidget *w)
{
    return static_cast<int>((static_cast<qint64>(twips) * dpiY(w) + 720) / 1440);
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
    const CPrivateProfile profile;
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
    const CPrivateProfile profile;
    const QRect screen = screenRect(dialog);
    const QPoint at = dialog->frameGeometry().topLeft() - screen.topLeft();
    profile.SetValueString(iniPath, section, QStringLiteral("Top"),
                           QString::number(pxToTwipsY(at.y(), dialog)));
    profile.SetValueString(iniPath, section, QStringLiteral("Left"),
                           QString::number(pxToTwipsX(at.x(), dialog)));
}

bool restoreWindowGeometry(QWidget *window, const QString &iniPath, const QString &section)
{
    const CPrivateProfile profile;
    const int top = profile.GetValueLong(iniPath, section, QStringLiteral("Top"));
    if (top < 1)
        return false;
    const int left = profile.GetValueLong(iniPath, section, QStringLiteral("Left"));
    const int width = profile.GetValueLong(iniPath, section, QStringLiteral("Width"));
    const int height = profile.GetValueLong(iniPath, section, QStringLiteral("Height"));
    const QRect screen = screenRect(window);
    // Width and Height are the outer size; the window manager adds the frame.
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    window->move(screen.left() + twipsToPxX(left, window), screen.top() + twipsToPxY(top, window));
    if (width > 0 && height > 0)
        window->resize(QSize(twipsToPxX(width, window), twipsToPxY(height, window)) - frame);
    return true;
}

void saveWindowGeometry(const QWidget *window, const QString &iniPath, const QString &section)
{
    const CPrivateProfile profile;
    const QRect screen = screenRect(window);
    const QRect outer = window->frameGeometry();
    const QPoint at = outer.topLeft() - screen.topLeft();
    profile.SetValueString(iniPath, section, QStringLiteral("Top"),
                           QString::number(pxToTwipsY(at.y(), window)));
    profile.SetValueString(iniPath, section, QStringLiteral("Left"),
                           QString::number(pxToTwipsX(at.x(), window)));
    profile.SetValueString(iniPath, section, QStringLiteral("Width"),
                           QString::number(pxToTwipsX(outer.width(), window)));
    profile.SetValueString(iniPath, section, QStringLiteral("Height"),
                           QString::number(pxToTwipsY(outer.height(), window)));
}

void centreOnScreen(QWidget *window)
{
    const QRect screen = screenRect(window);
    const QSize size = windowSize(window);
    window->move(screen.left() + std::max(0, (screen.width() - size.width()) / 2),
                 screen.top() + std::max(0, (screen.height() - size.height()) / 2));
}

} // namespace lumivox
