#include "db/noticestore.h"

#include "db/database.h"
#include "db/keys.h"
#include "db/tablemodel.h"

namespace lumivox {

namespace {

const QString kTable = QStringLiteral("T_お知らせ");
const QString kNewsID = QStringLiteral("NewsID");
const QString kTitle = QStringLiteral("見出し");
const QString kBody = QStringLiteral("本文");
const QString kCreated = QStringLiteral("作成日時");
const QString kSent = QStringLiteral("送信日時");

// A text as stored: a Null column reads as an empty text, never as Null again.
QString textOf(const QVariant &value)
{
    const QString text = value.toString();
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace

QString timeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QString currentTimeText()
{
    return timeText(QDateTime::currentDateTime());
}

NoticeStore::NoticeStore(const QSqlDatabase &db, QObject *parent)
    : QObject(parent), m_model(new TableModel(db, this))
{
}

StoreResult NoticeStore::open()
{
    if (!m_model->open(kTable))
        return failed();
    m_model->setComputedColumn(QStringLiteral("状態"), [this](int row) {
        return m_sendStates.value(m_model->value(row, kNewsID).toInt()).text();
    });
    refreshSendStates();
    return {};
}

void NoticeStore::refreshSendStates()
{
    m_sendStates = SendResultStore(m_model->database()).noticeStates();
    m_model->computedColumnChanged();
}

int NoticeStore::count() const
{
    return m_model->rowCount();
}

bool NoticeStore::isFull() const
{
    return count() >= kMaxNotices;
}

int NoticeStore::rowOf(qint64 newsId) const
{
    return m_model->findRow(kNewsID, newsId);
}

Notice NoticeStore::notice(int row) const
{
    if (row < 0 || row >= count())
        return {};
    QString body = textOf(m_model->value(row, kBody));
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return {m_model->value(row, kNewsID).toLongLong(), textOf(m_model->value(row, kTitle)), body,
            textOf(m_model->value(row, kCreated)), textOf(m_model->value(row, kSent))};
}

StoreResult NoticeStore::create()
{
    if (isFull())
        return StoreResult::refuse(QStringLiteral("お知らせは%1件までしか登録できません。").arg(kMaxNotices));
    int added = -1;
    const int newsId = insertUnderNewKey(m_model->database(), kTable, kNewsID, kMaxNotices, [&](int key) {
        added = m_model->appendRecord({{kNewsID, key},
                                       {kTitle, QString::fromUtf8(kUntitledTitle)},
                                       {kBody, QString::fromUtf8(kEmptyBody)},
                                       {kCreated, currentTimeText()},
                                       {kSent, QString::fromUtf8(kNotSent)}});
        return added >= 0;
    });
    if (newsId == 0) {
        // Full through another officer's notices, or the keys unreadable.
        const QVariant stored = scalar(m_model->database(), {QStringLiteral("select count(*) from T_お知らせ")});
        if (stored.isValid() && stored.toInt() >= kMaxNotices)
            return StoreResult::refuse(QStringLiteral("お知らせは%1件までしか登録できません。").arg(kMaxNotices));
        return StoreResult::failed(QStringLiteral("新しいお知らせの番号を決められませんでした。"));
    }
    if (newsId < 0)
        return failed();
    StoreResult result;
    result.row = added;
    result.key = newsId;
    return result;
}

StoreResult NoticeStore::update(const Notice &notice)
{
    // The body keeps CR LF line ends, however they were typed.
    QString body = notice.body;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\n', QStringLiteral("\r\n"));
    return write(notice.id, {{kTitle, textOf(notice.title)},
                             {kBody, textOf(body)},
                             {kCreated, textOf(notice.created)},
                             {kSent, textOf(notice.sent)}});
}

StoreResult NoticeStore::setSentTime(qint64 newsId, const QString &time)
{
    return write(newsId, {{kSent, time}});
}

StoreResult NoticeStore::remove(qint64 newsId)
{
    const int row = rowOf(newsId);
    if (row < 0)
        return {}; // nothing to delete
    if (!m_model->removeRecord(row, {{QStringLiteral("delete from T_お知らせに対する宛先情報 where NewsID = ?"), {newsId}},
                                     {QStringLiteral("update T_送信記録 set NewsID = null where NewsID = ?"), {newsId}}}))
        return failed();
    m_sendStates.remove(int(newsId));
    return {};
}

void NoticeStore::copy(qint64 newsId)
{
    const int row = rowOf(newsId);
    if (row < 0)
        return;
    m_copied = {textOf(m_model->value(row, kTitle)), textOf(m_model->value(row, kBody)),
                textOf(m_model->value(row, kCreated))};
}

StoreResult NoticeStore::paste(qint64 newsId)
{
    if (rowOf(newsId) < 0)
        return write(newsId, {});
    QString error;
    if (!SendResultStore(m_model->database()).detachRuns(int(newsId), &error))
        return StoreResult::failed(error);
    m_sendStates.remove(int(newsId));
    m_model->computedColumnChanged();
    return write(newsId, {{kTitle, m_copied.title},
                          {kBody, m_copied.body},
                          {kCreated, m_copied.created},
                          {kSent, QString::fromUtf8(kNotSent)}});
}

StoreResult NoticeStore::write(qint64 newsId, const QVariantMap &values)
{
    const int row = rowOf(newsId);
    if (row < 0)
        return StoreResult::refuse(QStringLiteral("このお知らせは一覧にないため保存できません。"));
    if (m_model->setValues(row, values))
        return {};
    // Another officer saved this notice meanwhile: the list now shows their
    // version, and the message names its headline; what was typed stays.
    if (m_model->lastError() == TableModel::kChangedElsewhere)
        return StoreResult::refuse(m_model->lastError() + QStringLiteral("\n\n見出し：") + notice(row).title);
    return failed();
}

StoreResult NoticeStore::failed() const
{
    return StoreResult::fromList(*m_model);
}

} // namespace lumivox
