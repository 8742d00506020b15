#include "shots.h"

#include "notices/frmMenuMain.h"

LUMIVOX_SCREENSHOT(main_window)
{
    lumivox::frmMenuMain window(ctx.app.context());
    ctx.save(&window, QStringLiteral("main_window"));
}
