#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <vector>

namespace lumivox {

// Scrambles text and files byte by byte with a key string whose key stream
// evolves with use. The operation is its own inverse: scrambling twice with the
// same key gives the input back, so EncryptString serves both ways. The program
// uses it for the SMTP password kept in T_SMTPサーバー.
//
// The key bytes are the UTF-16LE bytes of Password (2 per code unit); the key must
// have 1 to 64 characters. Every call starts again from the key, so the same
// input always gives the same output.
class PasswordScrambler
{
public:
    // A run-time error: the routine's name (the message title) and the text
    // "Error: " + number + ". " + description. By default it goes to the log.
    using ErrorHandler = std::function<void(const QString &title, const QString &text)>;

    PasswordScrambler();

    QString InputFileName() const { return m_inputFileName; }
    void setInputFileName(const QString &name) { m_inputFileName = name; }
    QString OutputFileName() const { return m_outputFileName; }
    void setOutputFileName(const QString &name) { m_outputFileName = name; }
    QString Password() const { return m_password; }
    void setPassword(const QString &password) { m_password = password; }

    // Writes OutputFileName: InputFileName with every byte scrambled. Progress is
    // the fraction of the input processed: 0 first, then after every block.
    void EncryptFile();
    QString EncryptString(const QString &text);

    void setFileProgress(std::function<void(float)> listener) { m_fileProgress = std::move(listener); }
    void setErrorHandler(ErrorHandler handler) { m_errorHandler = std::move(handler); }

    static constexpr int kMaxKeyLength = 64;

private:
    bool loadKey();
    void EncryptByte(std::uint8_t &b);
    void reportError(const QString &routine, int number, const QString &description);

    QString m_inputFileName;
    QString m_outputFileName;
    QString m_password;
    std::vector<std::uint8_t> m_key;
    std::int16_t m_index = 0;
    bool m_keyErrorReported = false;
    std::function<void(float)> m_fileProgress;
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
