#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <vector>

namespace lumivox {

// Scrambles text byte by byte with a key string whose key stream evolves with
// use. The operation is its own inverse: scrambling twice with the same key gives
// the input back, so EncryptString serves both ways. The program uses it for the
// SMTP password kept in T_SMTPサーバー.
//
// The key bytes are the UTF-16LE bytes of Password (2 per code unit); the key must
// have 1 to 64 characters. Every call starts again from the key, so the same
// input always gives the same output.
class PasswordScrambler
{
public:
    // A run-time error: the routine's name and the text "Error: " + number +
    // ". " + description. Errors go only to this handler (none: they are
    // dropped) and to EncryptString's ok flag; nothing is shown or logged here.
    using ErrorHandler = std::function<void(const QString &title, const QString &text)>;

    QString Password() const { return m_password; }
    void setPassword(const QString &password) { m_password = password; }

    // The scrambled text, as many code units as the input. With a key outside
    // the limits *ok (when given) is false, every byte passes unchanged and the
    // handler hears of it once.
    QString EncryptString(const QString &text, bool *ok = nullptr);

    void setErrorHandler(ErrorHandler handler) { m_errorHandler = std::move(handler); }

    static constexpr int kMaxKeyLength = 64;

private:
    void loadKey();
    void EncryptByte(std::uint8_t &b);

    QString m_password;
    std::vector<std::uint8_t> m_key;
    std::int16_t m_index = 0;
    bool m_keyError = false;
    ErrorHandler m_errorHandler;
};

// The fixed key of the stored SMTP password.
inline constexpr auto kPasswordKey = "Tolvarine";

// The stored form of a scrambled password: its UTF-16LE bytes, any code unit
// value included (0, quotes, lone surrogates), read back unchanged.
QByteArray scrambledToBlob(const QString &scrambled);
QString scrambledFromStored(const QVariant &stored);

// The plain password of a stored value, and the stored value of a plain one.
QString unscramblePassword(const QVariant &stored);
QByteArray scramblePassword(const QString &plain);

} // namespace lumivox
