#pragma once

#include "app/appcontext.h"
#include "app/dialoglifecycle.h"
#include "app/windowlayout.h"
#include "db/worktables.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace lumivox {

class GroupTickGrid;

// What tells the two group choosers apart: the texts, the link table, and where
// the window keeps its position and column widths.
struct GroupChooserDesign {
    QString objectName; // frmSelGroupforNews / frmSelGroupforMember
    QString title;      // window title
    QString memo;       // lblMemo
    const LinkTable *links = nullptr;
    QString section;    // settings section
};

// The group chooser: every group of T_グループ with a tick at each group linked to
// one record (a notice or a member). OK replaces the record's link rows by one row
// per ticked group (replaceGroupLinks) and closes with Accepted; a refused write
// is told and the window stays open. ｷｬﾝｾﾙ, Esc and the close box write nothing.
class GroupChooser : public QDialog
{
    Q_OBJECT
public:
    // The chooser of record `key`; `name` is the line that names the record.
    GroupChooser(AppContext &context, const GroupChooserDesign &design, qint64 key,
                 const QString &name, QWidget *parent = nullptr);
    ~GroupChooser() override;

private:
    void saveLinks();

    AppContext &m_context;
    GroupChooserDesign m_design;
    WindowLayout m_layout; // position and column widths
    qint64 m_key;
    GroupTickGrid *m_grid = nullptr;
    QPushButton *m_ok = nullptr;
    bool m_selectionReady = false; // the work table holds this record's ticks
    DialogLifecycle m_lifecycle; // last: its steps use the rest
};

// The destination groups of a notice (T_お知らせに対する宛先情報), named by its
// headline: お知らせ「headline」を連絡する.
class NoticeGroupChooser : public GroupChooser
{
    Q_OBJECT
public:
    NoticeGroupChooser(AppContext &context, qint64 newsId, const QString &headline,
                       QWidget *parent = nullptr);
    static const GroupChooserDesign &design();
};

// The groups a member belongs to (T_メンバーの登録グループ情報), named by the
// member's name and honorific: 名前 敬称 が.
class MemberGroupChooser : public GroupChooser
{
    Q_OBJECT
public:
    MemberGroupChooser(AppContext &context, qint64 memberId, const QString &name,
                       const QString &honorific, QWidget *parent = nullptr);
    static const GroupChooserDesign &design();
};

} // namespace lumivox
