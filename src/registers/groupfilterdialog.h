#pragma once

#include "app/appcontext.h"

#include <QDialog>

namespace lumivox {

class GroupTickGrid;

// The group filter of the member register: every group with a tick box, all
// unticked at each opening. OK accepts the dialog with the ticked groups' keys,
// and refuses to close with nothing ticked; ｷｬﾝｾﾙ, Esc and the close box reject it.
class GroupFilterDialog : public QDialog
{
    Q_OBJECT
public:
    explicit GroupFilterDialog(AppContext &context, QWidget *parent = nullptr);
    ~GroupFilterDialog() override;

    // The ticked groups' keys in the order of the list, as "(7,3)".
    QString groupList() const { return m_groupList; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void firstActivation();
    void confirm();
    void unload();

    AppContext &m_context;
    GroupTickGrid *m_groups = nullptr;
    QString m_groupList;
    bool m_activated = false;
    bool m_unloaded = false;
};

} // namespace lumivox
