#pragma once

#include <QString>

namespace lumivox {

// What a store operation did: done, or why not. Stores never show a message; the
// window that asked shows this one. A refusal (the change was not attempted:
// the notice is not listed, the notice has no destination) carries the message
// for the user as it stands; a failure carries the database's reason, which the
// window reports as a write that did not happen.
struct StoreResult {
    bool ok = true;
    bool refused = false;
    QString error; // why not: the database's reason, or the message of a refusal
    int row = -1;  // append: the new record's row in the list (from 0)
    int key = 0;   // append: its key

    explicit operator bool() const { return ok; }

    static StoreResult failed(const QString &reason)
    {
        StoreResult r;
        r.ok = false;
        r.error = reason.isEmpty() ? QStringLiteral("原因不明のエラー") : reason;
        return r;
    }
    static StoreResult refuse(const QString &message)
    {
        StoreResult r = failed(message);
        r.refused = true;
        return r;
    }
};

} // namespace lumivox
