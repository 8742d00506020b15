#pragma once

#include <QString>

namespace lumivox {

// What a store says about a change it was asked to make: done, refused (with the
// message for the user), or failed in the database (with what was not stored and
// the database's reason). Stores never show a message; the window that asked
// shows this one.
struct StoreResult {
    enum Status { Done, Refused, Failed };
    Status status = Done;
    QString what;   // Failed: what was not stored ("お知らせ", "送信リスト", …)
    QString reason; // Refused: the message for the user; Failed: the database's reason

    explicit operator bool() const { return status == Done; }

    static StoreResult done() { return {}; }
    static StoreResult refused(const QString &message) { return {Refused, {}, message}; }
    static StoreResult failed(const QString &what, const QString &reason)
    {
        return {Failed, what, reason};
    }
};

} // namespace lumivox
