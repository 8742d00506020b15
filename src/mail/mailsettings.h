#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

namespace lumivox {

// How the connection to the SMTP server is protected (T_SMTPサーバー.接続の保護).
enum class ConnectionSecurity { None = 0, StartTls = 1, SslTls = 2 };

// The width of the text columns of T_SMTPサーバー, in characters.
inline constexpr int kSmtpTextLength = 255;

// The longest mail address SMTP carries: 256 characters with its angle brackets.
inline constexpr qsizetype kMaxAddressLength = 254;

// The single row of T_SMTPサーバー, as the settings dialog shows and stores it
// and as the sending run uses it (the password in plain text). The member
// defaults are the dialog's first-use values.
struct SmtpSettings {
    QString server;
    int port = 25;
    QString user;
    QString password;
    bool authenticate = true; // AUTH with user and password only when on
    QString senderName;
    QString senderAddress;
    ConnectionSecurity security = ConnectionSecurity::None;
};

// The character set of the mails: ISO-2022-JP (what Japanese mail readers have
// always read; characters outside JIS become 〓 after the user is asked), UTF-8
// (carries every character), or each mail in ISO-2022-JP when everything in it
// can be carried and in UTF-8 otherwise.
enum class MailCharset { Iso2022jp = 0, Utf8 = 1, Automatic = 2 };

// The single row of T_送信設定. The member defaults are the dialog's first-use
// values (all three options on, width 60, ISO-2022-JP, no limits).
struct SendOptions {
    bool addGroup = true;
    bool addName = true;
    bool limitWidth = true;
    int width = 60;
    MailCharset charset = MailCharset::Iso2022jp; // 文字コード
    // The pace providers ask for: at most perMinute mails a minute, spaced
    // evenly, and at most perDay in 24 hours; 0 for no limit. (毎分上限, 一日上限)
    int perMinute = 0;
    int perDay = 0;
};

// What the sending run has when a table has no row at all: nothing. No server,
// port 0 and no authentication (so the first send fails); no leading lines, no
// folding, width 0.
inline const SmtpSettings kNoSmtpRow{{}, 0, {}, {}, false, {}, {}, ConnectionSecurity::None};
inline constexpr SendOptions kNoSendOptionsRow{false, false, false, 0};

// Reading the first row. A Null column reads as empty text, port 25,
// authentication on, no protection; group and name lines on, folding off,
// width 60, ISO-2022-JP, no limits. With no row `noRow` is returned; so it is when the table cannot be
// read, with *ok false.
SmtpSettings readSmtpSettings(const QSqlDatabase &db, const SmtpSettings &noRow, bool *ok = nullptr);
SendOptions readSendOptions(const QSqlDatabase &db, const SendOptions &noRow, bool *ok = nullptr);

// Saving: inserts the row when there is none, updates the first row otherwise,
// every value a bound parameter (the password scrambled).
bool saveSmtpSettings(const QSqlDatabase &db, const SmtpSettings &settings, QString *error = nullptr);
bool saveSendOptions(const QSqlDatabase &db, const SendOptions &options, QString *error = nullptr);

// The usual port of each kind of connection: 25, 587 (STARTTLS), 465 (SSL/TLS).
int usualPort(ConnectionSecurity security);

// A text column's value, Null read as empty text.
QString textOf(const QVariant &value);

} // namespace lumivox
