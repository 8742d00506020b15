#include "db/schemaupgrade.h"

#include "db/database.h"

#include <QFile>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>

namespace lumivox {

namespace {

// Version 1: every sending run and the result for each of its recipients. The
// same tables stand at the end of schema.sql.
const QStringList kSendResults = {
    QStringLiteral("CREATE TABLE T_送信記録 ("
                   "送信ID INTEGER PRIMARY KEY, NewsID INTEGER, 種別 VARCHAR(10), 見出し VARCHAR(80), "
                   "開始日時 VARCHAR(20), 終了日時 VARCHAR(20), 終了理由 TEXT, 宛先数 INTEGER, "
                   "既送信数 INTEGER, グループ名称付加 INTEGER, 名前付加 INTEGER, 文字数制限 INTEGER, "
                   "文字数 INTEGER, サーバー名 VARCHAR(255), ポート番号 INTEGER, "
                   "\"送信元E-Mail\" VARCHAR(255))"),
    QStringLiteral("CREATE INDEX T_送信記録_NewsID ON T_送信記録 (NewsID)"),
    QStringLiteral("CREATE TABLE T_送信結果 ("
                   "送信ID INTEGER NOT NULL, 順番 INTEGER NOT NULL, GroupID INTEGER, "
                   "グループ名称 VARCHAR(50), MemberID INTEGER, 名前 VARCHAR(10), 敬称 VARCHAR(10), "
                   "\"E-Mail\" VARCHAR(64), 状態 VARCHAR(4), 日時 VARCHAR(20), 応答 TEXT, "
                   "PRIMARY KEY (送信ID, 順番))"),
};

// Version 2: the send options' character set and sending pace, at the end of
// T_送信設定 as schema.sql has them. A Null reads as ISO-2022-JP and no limit.
const QStringList kSendCharsetAndPace = {
    QStringLiteral("ALTER TABLE T_送信設定 ADD COLUMN 文字コード INTEGER"),
    QStringLiteral("ALTER TABLE T_送信設定 ADD COLUMN 毎分上限 INTEGER"),
    QStringLiteral("ALTER TABLE T_送信設定 ADD COLUMN 一日上限 INTEGER"),
};

// Version 3: the notice list's columns in key order without the bodies, so that
// opening the list reads a small index rather than every notice's text.
const QStringList kNoticeListIndex = {
    QStringLiteral("CREATE INDEX T_お知らせ_一覧 ON T_お知らせ (NewsID, 見出し, 作成日時, 送信日時)"),
};

const QString kFileName = QStringLiteral("データベースファイル（Pennora.db）");

bool run(QSqlQuery &q, const QString &sql, QString *error)
{
    if (q.exec(sql))
        return true;
    *error = q.lastError().text() + QStringLiteral(" (") + sql + u')';
    return false;
}

// A byte copy through a temporary file renamed into place: an older copy stays
// whole until the new one is complete.
bool copyFile(const QString &from, const QString &to, QString *error)
{
    QFile source(from);
    QSaveFile target(to);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = source.errorString();
        return false;
    }
    if (!target.open(QIODevice::WriteOnly)) {
        *error = target.errorString();
        return false;
    }
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(1 << 20);
        if (chunk.isEmpty() && source.error() != QFile::NoError) {
            *error = source.errorString();
            return false;
        }
        if (target.write(chunk) != chunk.size()) {
            *error = target.errorString();
            return false;
        }
    }
    if (!target.commit()) {
        *error = target.errorString();
        return false;
    }
    return true;
}

} // namespace

const QList<SchemaStep> &schemaSteps()
{
    static const QList<SchemaStep> steps = {{1, kSendResults}, {2, kSendCharsetAndPace}, {3, kNoticeListIndex}};
    return steps;
}

int currentSchemaVersion()
{
    return schemaSteps().isEmpty() ? 0 : schemaSteps().constLast().version;
}

QString backupPathOf(const QString &path)
{
    return path + QStringLiteral(".bak");
}

SchemaUpgrade upgradeSchema(const QSqlDatabase &db, const QString &path, const QList<SchemaStep> &steps)
{
    SchemaUpgrade out;
    out.toVersion = steps.isEmpty() ? 0 : steps.constLast().version;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        out.result = SchemaUpgrade::Failed;
        out.message = kFileName + QStringLiteral("の形式を確認できませんでした。");
        out.detail = q.lastError().text();
        return out;
    }
    out.fromVersion = q.value(0).toInt();
    q.finish();
    if (out.fromVersion == out.toVersion)
        return out;
    if (out.fromVersion > out.toVersion) {
        out.result = SchemaUpgrade::TooNew;
        out.message = kFileName
                      + QStringLiteral("は，この Lumivox より新しい版で使われた形式です"
                                       "（データ形式 %1，この版で使えるのは %2 まで）。\r\n\r\n"
                                       "データを守るため，起動を中止します。新しい版の Lumivox をお使いください。")
                            .arg(out.fromVersion)
                            .arg(out.toVersion);
        return out;
    }

    QString error;
    bool copied = false;
    // A database in write-ahead mode keeps recent changes beside the file: they
    // go into the file first, so that the copy holds them.
    q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    q.finish();
    // IMMEDIATE: nobody else writes between the copy and the steps.
    bool ok = run(q, QStringLiteral("BEGIN IMMEDIATE"), &error);
    if (ok)
        ok = copied = copyFile(path, backupPathOf(path), &error);
    for (const SchemaStep &step : steps) {
        if (!ok)
            break;
        if (step.version <= out.fromVersion)
            continue;
        for (const QString &statement : step.statements) {
            if (!(ok = run(q, statement, &error)))
                break;
        }
    }
    if (ok)
        ok = run(q, QStringLiteral("PRAGMA user_version = %1").arg(out.toVersion), &error)
             && run(q, QStringLiteral("COMMIT"), &error);
    if (ok) {
        out.result = SchemaUpgrade::Upgraded;
        return out;
    }
    q.exec(QStringLiteral("ROLLBACK"));
    out.result = SchemaUpgrade::Failed;
    out.detail = error;
    out.message = kFileName + (copied ? QStringLiteral("をこの版の形式に更新できませんでした。")
                                      : QStringLiteral("の控え（Pennora.db.bak）を作成できなかったため，"
                                                       "この版の形式に更新できませんでした。"))
                  + QStringLiteral("データは変更されていません。\r\n\r\n"
                                   "ディスクの空き容量とフォルダへの書き込み権限をご確認ください。");
    return out;
}

SchemaUpgrade upgradeDatabase(const QSqlDatabase &db, const QString &path)
{
    // A server's tables come from its schema file, whose version the
    // connection has already checked.
    if (engineOf(db) == Engine::PostgreSQL)
        return {};
    SchemaUpgrade out = upgradeSchema(db, path);
    if (out.ok()) {
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    }
    return out;
}

} // namespace lumivox
