#pragma once

#include "support/testapp.h"

#include <QDir>
#include <QString>
#include <functional>

class QWidget;

namespace lumivox::shots {

// What a screenshot function gets: an application folder filled with sample
// data, and a way to save a window as OUTDIR/<name>.png.
struct ShotContext {
    test::TestApp &app;
    QDir out;
    // Shows the window (if hidden), lets it settle and paint, and saves it.
    void save(QWidget *window, const QString &name);
};

using ShotFunction = std::function<void(ShotContext &)>;
// Registers a screenshot function; used through LUMIVOX_SCREENSHOT.
bool registerShot(const QString &name, const ShotFunction &shot);

// Sample data shared by every screenshot: groups, members, memberships, notices.
void addSampleData(test::TestApp &app);

} // namespace lumivox::shots

// LUMIVOX_SCREENSHOT(main_window) { ctx.save(...); } defines and registers a
// screenshot function taking `ShotContext &ctx`.
#define LUMIVOX_SCREENSHOT(name)                                                            \
    static void shot_##name(lumivox::shots::ShotContext &ctx);                               \
    static const bool shot_registered_##name =                                              \
        lumivox::shots::registerShot(QStringLiteral(#name), shot_##name);                     \
    static void shot_##name(lumivox::shots::ShotContext &ctx)
