#include "shots.h"

#include "mainwindow/mainwindow.h"

LUMIVOX_SCREENSHOT(main_window)
{
    lumivox::MainWindow window(ctx.app.context());
    ctx.save(&window, QStringLiteral("main_window"));
}
