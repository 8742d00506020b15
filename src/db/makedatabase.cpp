#include "db/makedatabase.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace lumivox {

namespace {

// Splits the schema into statements at semicolons that end a line; the schema
// holds no semicolon inside a literal.
QStringList statementsOf(const QString &script)
{
    QStringList out;
    QString current;
    for (const QString &rawLine : script.split(u'\n')) {
        QString line = rawLine;
        const qsizetype comment = line.indexOf(QStringLiteral("--"));
        if (comment >= 0)
            line.truncate(comment);
        current += line + u'\n';
        if (line.trimmed().endsWith(u';')) {
            out << current.trimmed();
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        out << current.trimmed();
    return out;
}

} // namespace

bool makeDatabase(const QString &path, QString *error)
{
    if (QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("%1 already exists").arg(path);
        return false;
    }
    const QString name = QStringLiteral("lumivox-makedb-") + QUuid::createUuid().toString();
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            if (error)
                *error = db.lastError().text();
            ok = false;
        } else {
            db.transaction();
            QSqlQuery q(db);
            for (const QString &statement : statementsOf(QString::fromUtf8(kSchemaSql))) {
                if (!q.exec(statement)) {
                    if (error)
                        *error = q.lastError().text() + QStringLiteral(": ") + statement;
                    ok = false;
                    break;
                }
            }
            ok = ok ? db.commit() : (db.rollback(), false);
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace lumivox
