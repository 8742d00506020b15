#pragma once

#include "mail/smtptransport.h"

#include <QSqlDatabase>
#include <QString>

namespace lumivox {

// The single rows of T_SMTPサーバー and T_送信設定 as the two settings dialogs
// show and store them. Loading keeps the given (initial) values when the table has
// no row; saving inserts the row when there is none and updates the first row
// otherwise. Every value is a bound parameter.

struct SmtpForm {
    QString server;
    int port = 25;
    QString user;
    QString password; // plain
    bool authenticate = true;
    QString senderName;
    QString senderAddress;
    ConnectionSecurity security = ConnectionSecurity::None;
};
// Null columns: empty text, port 25, authentication on, no protection.
bool loadSmtpForm(const QSqlDatabase &db, SmtpForm *form);
bool saveSmtpForm(const QSqlDatabase &db, const SmtpForm &form, QString *error = nullptr);

struct SubmitForm {
    bool addGroup = true;
    bool addName = true;
    bool limitWidth = true;
    int width = 60;
};
// Null columns: group and name lines on, folding off, width 60.
bool loadSubmitForm(const QSqlDatabase &db, SubmitForm *form);
bool saveSubmitForm(const QSqlDatabase &db, const SubmitForm &form, QString *error = nullptr);

// The usual port of each kind of connection: 25, 587 (STARTTLS), 465 (SSL/TLS).
int usualPort(ConnectionSecurity security);

} // namespace lumivox
