#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace lumivox {

// The door between two starts of the program for one user and data folder: the
// first start listens, a second start knocks so that the first brings its window
// to the front (the second then shows its message and ends).
class RunningInstance : public QObject
{
    Q_OBJECT
public:
    // `key` names the data folder; the door's name is private to the user.
    explicit RunningInstance(const QString &key, QObject *parent = nullptr);
    ~RunningInstance() override;

    // The first start: listen for knocks. False when the door cannot be opened
    // (the program still runs; a second start then only shows its message).
    bool listen();
    // A second start: asks the running program to come to the front. True when
    // it answered within the time-out.
    bool knock(int timeoutMs = 1000) const;

Q_SIGNALS:
    void activationRequested();

private:
    QString m_name;
    QLocalServer *m_server = nullptr;
};

} // namespace lumivox
