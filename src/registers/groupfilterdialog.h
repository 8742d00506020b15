#pragma once

#include "app/appcontext.h"
#include "app/dialoglifecycle.h"
#include "app/windowlayout.h"

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

    // The ticked groups' keys in the order of the list, as "(7,3)".
    QString groupList() const { return m_groupList; }

private:
    void confirm();

    AppContext &m_context;
    GroupTickGrid *m_groups = nullptr;
    QString m_groupList;
    WindowLayout m_layout; // its place and the list's column widths
    DialogLifecycle m_lifecycle{this, &m_layout};
};

} // namespace lumivox
