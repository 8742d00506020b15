#pragma once

#include "db/worktables.h"
#include "registers/registerwindow.h"

class QPushButton;

namespace lumivox {

class SpreadGrid;
class TableModel;

// The member register: T_メンバー in the register window, at most 999 members,
// with the member's groups on the card, the membership chooser and the list's
// keyword and group filters.
class MemberRegister : public RegisterWindow
{
    Q_OBJECT
public:
    explicit MemberRegister(AppContext &context, QWidget *parent = nullptr);
    ~MemberRegister() override;

    // Shows the members a condition selects (the whole table for an empty one),
    // starting at row 1. A statement that fails is reported and the list keeps
    // what it showed before. False when it failed.
    bool applyMemberFilter(const MemberCondition &condition = {});
    // The list narrowed by a keyword in "[名前]", "[フリガナ]" or "[E-Mail]", or to
    // the members of the groups of a list such as "(7,3)": what the two filter
    // dialogs lead to once they are confirmed.
    bool filterByKeyword(const QString &columnName, const QString &keyword);
    bool filterByGroups(const QString &groupList);
    bool isFiltered() const;

protected:
    void recordShown(qint64 key) override;
    void cardEnabled(bool enabled) override;
    QString deletionQuestion(const QString &name, const QList<int> &linkCounts) const override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void editGroups();
    void askKeyword();
    void askGroups();

    SpreadGrid *m_groups = nullptr; // fpSpread2: the member's groups
    QPushButton *m_editGroups = nullptr;
    TableModel *m_groupNames = nullptr;
};

} // namespace lumivox
