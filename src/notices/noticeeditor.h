#pragma once

#include "app/appcontext.h"
#include "app/dialoglifecycle.h"
#include "app/windowlayout.h"
#include "db/noticestore.h"

#include <QDialog>
#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace lumivox {

class SpreadGrid;
class TableModel;

// The notice editor: headline, body, creation and sending times, and the list of
// destination groups with the button that opens the destination-group chooser.
//
// It takes the notice as a value and never writes T_お知らせ itself: OK sets
// the creation time to now and hands the notice to `save`; when that is refused
// the user is told and the editor stays open with what was typed, otherwise it
// closes with Accepted. The close box asks first when the headline or the body
// has changed: はい saves as OK does, いいえ leaves without saving (Rejected),
// ｷｬﾝｾﾙ goes back to the editor. The destination groups are another matter: the
// chooser writes them at once.
class NoticeEditor : public QDialog
{
    Q_OBJECT
public:
    using Save = std::function<StoreResult(const Notice &)>;

    // The title is the design's "お知らせの新規作成"; an opener editing a
    // notice sets its own.
    NoticeEditor(AppContext &context, const Notice &notice, Save save, QWidget *parent = nullptr);
    ~NoticeEditor() override;

    // The notice as it stands in the editor.
    Notice notice() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void loadGroupList();
    void chooseGroups();
    void saveAndClose();
    void fitGroupColumn();
    bool hasChanges() const;

    AppContext &m_context;
    WindowLayout m_layout; // section "InpNews"
    const qint64 m_newsId;
    Save m_save;

    QLineEdit *m_title = nullptr;
    QPlainTextEdit *m_body = nullptr;
    QLineEdit *m_created = nullptr;
    QLineEdit *m_sent = nullptr;
    SpreadGrid *m_groups = nullptr;
    TableModel *m_groupNames = nullptr;
    QString m_shownTitle; // the headline and body as the editor first showed them
    QString m_shownBody;
    DialogLifecycle m_lifecycle; // last: its steps use the rest
};

} // namespace lumivox
