#pragma once

#include "registers/memberfilters.h"
#include "registers/registerwindow.h"

class QPushButton;

namespace lumivox {

class MemberGroupChooser;

// The member register: T_メンバー in the register window, at most 999 members,
// with the member's groups on the card, the membership chooser and the list's
// keyword and group filters.
class MemberRegister : public RegisterWindow
{
    Q_OBJECT
public:
    explicit MemberRegister(AppContext &context, QWidget *parent = nullptr);
    ~MemberRegister() override;

    int NewMemberID() const { return NewRecordID(); }
    static RegisterDesign Design();

    // Refills the card's group list with the groups of a member.
    void RefreshGroupList(qint64 memberId);
    // Shows the members a condition selects (the whole table for an empty one),
    // starting at row 1. A statement that fails is reported and the list keeps
    // what it showed before. False when it failed.
    bool ApplyMemberFilter(const MemberCondition &condition = {});
    // The list narrowed by a keyword in "[名前]", "[フリガナ]" or "[E-Mail]", or to
    // the members of the groups of a list such as "(7,3)": what the two filter
    // dialogs lead to once they return "OK".
    bool FilterByKeyword(const QString &userColName, const QString &keyword);
    bool FilterByGroups(const QString &userGroup);
    bool isFiltered() const { return !m_filter.isWholeTable(); }

    void objSelGroupforMember_LoadData(MemberGroupChooser &chooser);

protected:
    QVariantMap newRecordValues(int key) const override;
    void reloadList() override { ApplyMemberFilter(); } // the whole table, with the records added
    void recordShown(qint64 key) override;
    void cardEnabled(bool enabled) override;
    bool handleTool(const QString &id) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void cmdGroup_Click();
    void mnuFilterKey_Click();
    void mnuFilterGrp_Click();

    SpreadGrid *fpSpread2 = nullptr;
    QPushButton *cmdGroup = nullptr;
    TableModel *m_groupList = nullptr;
    MemberCondition m_filter;
};

} // namespace lumivox
