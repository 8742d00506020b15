#pragma once

#include "app/appcontext.h"
#include "db/worktables.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QSpinBox;

namespace lumivox {

class GroupTickGrid;

// What tells the two group choosers apart: the record whose links are chosen,
// the texts, and where the window keeps its position and column widths.
struct GroupChooserDesign {
    QString objectName;    // NoticeGroupChooser / MemberGroupChooser
    QString title;         // window title
    QString idBoxName;     // numNewsID / numMemberID
    QString memo;          // lblMemo
    QString nameDesign;    // lblName until the opener sets it
    const LinkTable *links = nullptr;
    QString section;       // settings section
};

// The group chooser: every group of T_グループ with a tick at each group linked to
// one record (a notice or a member). OK replaces the record's link rows by one row
// per ticked group; Cancel and the close box write nothing.
//
// How an opener uses it: connect LoadData (raised once, before the window is
// first shown) to a handler that calls setRecordKey() and sets lblName(); exec();
// read UsrTag(): "OK", "ｷｬﾝｾﾙ", or empty after the close box.
class GroupChooser : public QDialog
{
    Q_OBJECT
public:
    GroupChooser(AppContext &context, const GroupChooserDesign &design, QWidget *parent = nullptr);
    ~GroupChooser() override;

    void setRecordKey(qint64 key);
    qint64 recordKey() const;
    QLabel *lblName() const { return m_lblName; }
    QString UsrTag() const { return m_usrTag; }
    void setUsrTag(const QString &tag) { m_usrTag = tag; }

    const GroupChooserDesign &design() const { return m_design; }

Q_SIGNALS:
    void LoadData();

public Q_SLOTS:
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Form_Load();
    void Form_Activate();
    void cmdOk_Click();
    void cmdCancel_Click();
    void Form_Unload();

    AppContext &m_context;
    GroupChooserDesign m_design;
    QSpinBox *m_numID = nullptr;
    QLabel *m_lblName = nullptr;
    QLabel *m_lblMemo = nullptr;
    QLabel *m_lblCaption = nullptr;
    GroupTickGrid *fpSpread1 = nullptr;
    QPushButton *cmdOk = nullptr;
    QPushButton *cmdCancel = nullptr;
    QString m_usrTag;
    bool m_loaded = false;
    bool m_activated = false;
    bool m_selectionReady = false; // the work table holds this record's ticks
    bool m_unloaded = false;
};

// The destination groups of a notice (T_お知らせに対する宛先情報).
class NoticeGroupChooser : public GroupChooser
{
    Q_OBJECT
public:
    explicit NoticeGroupChooser(AppContext &context, QWidget *parent = nullptr);
    static const GroupChooserDesign &Design();
};

// The groups a member belongs to (T_メンバーの登録グループ情報).
class MemberGroupChooser : public GroupChooser
{
    Q_OBJECT
public:
    explicit MemberGroupChooser(AppContext &context, QWidget *parent = nullptr);
    static const GroupChooserDesign &Design();
};

} // namespace lumivox
