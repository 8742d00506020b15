#pragma once

// What the window benchmarks share: noting when a widget has been painted, and
// a first (cold) run kept apart from the median of the others.
#include <QCoreApplication>
#include <QEvent>
#include <QList>
#include <QObject>
#include <algorithm>
#include <cstdio>

namespace lumivox::bench {

class PaintWatch : public QObject
{
public:
    bool painted = false;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

inline void waitForPaint(PaintWatch &watch)
{
    while (!watch.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Times {
    double cold = 0;
    QList<double> warm;
    void add(int run, double ms)
    {
        if (run == 0)
            cold = ms;
        else
            warm << ms;
    }
    void print(const char *what) const
    {
        QList<double> t = warm;
        std::sort(t.begin(), t.end());
        std::printf("%s\n  first run: %.1f ms\n  median of %lld more runs: %.1f ms (min %.1f, max %.1f)\n",
                    what, cold, t.size(), t[t.size() / 2], t.first(), t.last());
    }
};

} // namespace lumivox::bench
