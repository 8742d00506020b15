#pragma once

#include "db/sendresults.h"
#include "db/storeresult.h"

#include <QDateTime>
#include <QObject>
#include <QSqlDatabase>
#include <QString>

namespace lumivox {

class TableModel;

// The form of every time the program stores: "yyyy/mm/dd hh:nn:ss".
QString timeText(const QDateTime &time);
QString currentTimeText();

// What a new notice holds until it is edited, and the sending time of a notice
// never sent.
inline constexpr auto kUntitledTitle = "(無題)";
inline constexpr auto kEmptyBody = "(未入力)";
inline constexpr auto kNotSent = "(未送信)";

// One notice, as the editor and the views take it. The body's lines end in LF
// here; T_お知らせ keeps them as CR LF.
struct Notice {
    qint64 id = 0;   // NewsID
    QString title;   // 見出し
    QString body;    // 本文
    QString created; // 作成日時
    QString sent;    // 送信日時
};

// The notices of T_お知らせ, in the table's own order, behind the main window's
// list: its model is what the list shows (with one more column, 状態, each
// notice's state from its recorded send results), and every change goes
// through here so that the list and the table always agree. Each change
// returns a result and shows nothing. The number of notices is the model's row
// count, kept as records come and go, so checking the cap costs no query.
class NoticeStore : public QObject
{
    Q_OBJECT
public:
    explicit NoticeStore(const QSqlDatabase &db, QObject *parent = nullptr);

    // Reads T_お知らせ and the notices' send states.
    StoreResult open();
    // Reads the send states again (after a sending run).
    void refreshSendStates();
    NoticeSendState sendState(qint64 newsId) const { return m_sendStates.value(int(newsId)); }
    TableModel *model() const { return m_model; }

    int count() const;
    bool isFull() const; // the cap of 999 notices is reached
    int rowOf(qint64 newsId) const; // 0-based, -1 when not listed
    Notice notice(int row) const;    // id 0 for a row that is not there

    // A new notice with the next free NewsID and the starting texts: (無題),
    // (未入力), the current time, (未送信); the result holds its row and key.
    StoreResult create();
    // Writes the four texts of the notice with notice.id.
    StoreResult update(const Notice &notice);
    StoreResult setSentTime(qint64 newsId, const QString &time);
    // Deletes the notice and its destination rows in one transaction; its send
    // runs are kept, parted from it (its NewsID may be given to a new notice).
    StoreResult remove(qint64 newsId);

    // The copy buffer of Copy and Paste: the texts of a notice, not its NewsID
    // nor its destinations. It outlives the copied notice; before any
    // copy it holds four empty texts. Paste overwrites a notice, it creates
    // none; the pasted notice starts unsent: 送信日時 (未送信), and the runs of
    // the notice it overwrites parted from it.
    void copy(qint64 newsId);
    StoreResult paste(qint64 newsId);

private:
    StoreResult write(qint64 newsId, const QVariantMap &values);
    StoreResult failed() const;

    TableModel *m_model;
    QHash<int, NoticeSendState> m_sendStates;
    struct Texts {
        QString title = QStringLiteral("");
        QString body = QStringLiteral("");
        QString created = QStringLiteral("");
    } m_copied;
};

} // namespace lumivox
