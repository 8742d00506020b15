#include "mail/passwordscrambler.h"

namespace lumivox {

void PasswordScrambler::loadKey()
{
    m_key.resize(static_cast<std::size_t>(m_password.size()) * 2);
    for (qsizetype i = 0; i < m_password.size(); ++i) {
        const char16_t unit = m_password.at(i).unicode();
        m_key[static_cast<std::size_t>(i) * 2] = static_cast<std::uint8_t>(unit & 0xFF);
        m_key[static_cast<std::size_t>(i) * 2 + 1] = static_cast<std::uint8_t>(unit >> 8);
    }
    m_index = 0;
    m_keyError = false;
}

// One byte of the key stream: the key byte and its index product, then the key
// byte is evolved and the index moves on (after the last it restarts at 1, so
// index 0 serves only the first byte).
void PasswordScrambler::EncryptByte(std::uint8_t &b)
{
    const auto length = static_cast<int>(m_key.size());
    if (length == 0 || length > kMaxKeyLength * 2) {
        // A key outside the limits leaves the byte as it is. One report per call
        // is enough: the same error would repeat for every byte.
        if (!m_keyError && m_errorHandler) {
            m_errorHandler(QStringLiteral("EncryptByte"),
                           length == 0 ? QStringLiteral("Error: 9. インデックスが有効範囲にありません。")
                                       : QStringLiteral("Error: 6. オーバーフローしました。"));
        }
        m_keyError = true;
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
        m_key[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(k + m_key[static_cast<std::size_t>(i) + 1]);
        m_index = static_cast<std::int16_t>(i + 1);
    }
}

QString PasswordScrambler::EncryptString(const QString &text, bool *ok)
{
    loadKey();
    QString out(text.size(), Qt::Uninitialized);
    for (qsizetype n = 0; n < text.size(); ++n) {
        const char16_t unit = text.at(n).unicode();
        auto lo = static_cast<std::uint8_t>(unit & 0xFF);
        auto hi = static_cast<std::uint8_t>(unit >> 8);
        EncryptByte(lo);
        EncryptByte(hi);
        out[n] = QChar(static_cast<char16_t>(lo | (hi << 8)));
    }
    if (ok)
        *ok = !m_key.empty() && m_key.size() <= std::size_t{kMaxKeyLength} * 2;
    return out;
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
