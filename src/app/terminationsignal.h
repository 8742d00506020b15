#pragma once

#include <QObject>

namespace lumivox {

// Turns SIGTERM, SIGHUP and SIGINT (the end of the desktop session, `kill`, Ctrl+C
// in a terminal) into a Qt signal on the GUI thread, so that the program closes
// as by its close box: settings written, the lock released, nothing half-written.
// POSIX only; the one place that knows about signals. One instance at a time.
class TerminationSignal : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignal(QObject *parent = nullptr);
    ~TerminationSignal() override;

Q_SIGNALS:
    void received();

private:
    int m_fds[2] = {-1, -1};
};

} // namespace lumivox
