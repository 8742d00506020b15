#include "mail/passwordscrambler.h"

#include <QFile>

namespace lumivox {

namespace {

// Error numbers and descriptions as the Japanese runtime words them.
constexpr int kErrSubscript = 9;
constexpr int kErrOverflow = 6;
constexpr int kErrFileNotFound = 53;
constexpr int kErrPathAccess = 75;

const char16_t *describe(int number)
{
    switch (number) {
    case kErrSubscript: return u"インデックスが有効範囲にありません。";
    case kErrOverflow: return u"オーバーフローしました。";
    case kErrFileNotFound: return u"ファイルが見つかりません。";
    default: return u"パス/ファイル アクセス エラーです。";
    }
}

// Without a handler of the caller's, an error goes to the log: the mail core has
// no windows to show it in.
void logError(const QString &title, const QString &text)
{
    qWarning("%s: %s", qPrintable(title), qPrintable(text));
}

constexpr qint64 kBlock = 32767;

} // namespace

PasswordScrambler::PasswordScrambler() : m_errorHandler(logError) {}

void PasswordScrambler::reportError(const QString &routine, int number, const QString &description)
{
    if (m_errorHandler)
        m_errorHandler(routine, QStringLiteral("Error: %1. %2").arg(number).arg(description));
}

bool PasswordScrambler::loadKey()
{
    m_key.resize(static_cast<std::size_t>(m_password.size()) * 2);
    for (qsizetype i = 0; i < m_password.size(); ++i) {
        const char16_t unit = m_password.at(i).unicode();
        m_key[static_cast<std::size_t>(i) * 2] = static_cast<std::uint8_t>(unit & 0xFF);
        m_key[static_cast<std::size_t>(i) * 2 + 1] = static_cast<std::uint8_t>(unit >> 8);
    }
    m_index = 0;
    m_keyErrorReported = false;
    return !m_key.empty();
}

// One byte of the key stream: the key byte and its index product, then the key
// byte is evolved and the index moves on (after the last it restarts at 1, so
// index 0 serves only the first byte).
void PasswordScrambler::EncryptByte(std::uint8_t &b)
{
    const auto length = static_cast<int>(m_key.size());
    if (length == 0 || length > kMaxKeyLength * 2) {
        // A key outside the limits leaves the byte as it is. One message per call
        // is enough: the same error would repeat for every byte.
        if (!m_keyErrorReported) {
            m_keyErrorReported = true;
            reportError(QStringLiteral("EncryptByte"), length == 0 ? kErrSubscript : kErrOverflow,
                        QString::fromUtf16(describe(length == 0 ? kErrSubscript : kErrOverflow)));
        }
        return;
    }
    const int i = m_index;
    const std::uint8_t k = m_key[static_cast<std::size_t>(i)];
    b = static_cast<std::uint8_t>(b ^ k);
    b = static_cast<std::uint8_t>(b ^ ((k * i) % 256));
    if (i >= length - 1) {
        m_key[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(k + m_key[1]);
        m_index = 1;
    } else {
        m_key[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(k + m_key[static_cast<std::size_t>(i) + 1]);
        m_index = static_cast<std::int16_t>(i + 1);
    }
}

QString PasswordScrambler::EncryptString(const QString &text)
{
    loadKey();
    QString out(text.size(), Qt::Uninitialized);
    for (qsizetype n = 0; n < text.size(); ++n) {
        const char16_t unit = text.at(n).unicode();
        std::uint8_t lo = static_cast<std::uint8_t>(unit & 0xFF);
        std::uint8_t hi = static_cast<std::uint8_t>(unit >> 8);
        EncryptByte(lo);
        EncryptByte(hi);
        out[n] = QChar(static_cast<char16_t>(lo | (hi << 8)));
    }
    return out;
}

void PasswordScrambler::EncryptFile()
{
    loadKey();
    QFile input(m_inputFileName);
    if (m_inputFileName.isEmpty() || !input.exists()) {
        reportError(QStringLiteral("EncryptFile"), kErrFileNotFound,
                    QString::fromUtf16(describe(kErrFileNotFound)));
        return;
    }
    if (!input.open(QIODevice::ReadOnly)) {
        reportError(QStringLiteral("EncryptFile"), kErrPathAccess,
                    QString::fromUtf16(describe(kErrPathAccess)));
        return;
    }
    const qint64 total = input.size();
    QFile::remove(m_outputFileName); // a failure to delete shows up at the open
    QFile output(m_outputFileName);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        reportError(QStringLiteral("EncryptFile"), kErrPathAccess,
                    QString::fromUtf16(describe(kErrPathAccess)));
        return;
    }
    if (m_fileProgress)
        m_fileProgress(0.0f);
    qint64 done = 0;
    QByteArray block;
    while (done < total) {
        // Blocks of 32767 bytes; the last takes everything left, up to 32768.
        const qint64 remaining = total - done;
        const qint64 size = remaining <= kBlock + 1 ? remaining : kBlock;
        block = input.read(size);
        if (block.size() != size) {
            reportError(QStringLiteral("ReadFile"), kErrPathAccess,
                        QString::fromUtf16(describe(kErrPathAccess)));
            return;
        }
        for (char &c : block) {
            auto b = static_cast<std::uint8_t>(c);
            EncryptByte(b);
            c = static_cast<char>(b);
        }
        if (output.write(block) != block.size()) {
            reportError(QStringLiteral("EncryptFile"), kErrPathAccess,
                        QString::fromUtf16(describe(kErrPathAccess)));
            return;
        }
        done += size;
        if (m_fileProgress)
            m_fileProgress(static_cast<float>(done) / static_cast<float>(total));
    }
}

QByteArray scrambledToBlob(const QString &scrambled)
{
    // Never a null array: an empty password is stored as an empty value, not Null.
    QByteArray bytes("");
    bytes.resize(scrambled.size() * 2);
    for (qsizetype i = 0; i < scrambled.size(); ++i) {
        const char16_t unit = scrambled.at(i).unicode();
        bytes[i * 2] = static_cast<char>(unit & 0xFF);
        bytes[i * 2 + 1] = static_cast<char>(unit >> 8);
    }
    return bytes;
}

QString scrambledFromStored(const QVariant &stored)
{
    if (stored.isNull())
        return {};
    if (stored.typeId() == QMetaType::QString)
        return stored.toString(); // a text value written by other means
    const QByteArray bytes = stored.toByteArray();
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto lo = static_cast<std::uint8_t>(bytes[i * 2]);
        const auto hi = static_cast<std::uint8_t>(bytes[i * 2 + 1]);
        text[i] = QChar(static_cast<char16_t>(lo | (hi << 8)));
    }
    return text;
}

QString unscramblePassword(const QVariant &stored)
{
    if (stored.isNull())
        return {};
    PasswordScrambler crypt;
    crypt.setPassword(QLatin1String(kPasswordKey));
    return crypt.EncryptString(scrambledFromStored(stored));
}

QByteArray scramblePassword(const QString &plain)
{
    PasswordScrambler crypt;
    crypt.setPassword(QLatin1String(kPasswordKey));
    return scrambledToBlob(crypt.EncryptString(plain));
}

} // namespace lumivox
