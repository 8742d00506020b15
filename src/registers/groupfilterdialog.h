#pragma once

#include "app/appcontext.h"

#include <QDialog>

class QPushButton;

namespace lumivox {

class GroupTickGrid;

// The group filter of the member register: every group with a tick box, all
// unticked at each opening. OK returns the ticked groups' keys as "(7,3)", in the
// order of the list, and refuses to close with nothing ticked.
class GroupFilterDialog : public QDialog
{
    Q_OBJECT
public:
    explicit GroupFilterDialog(AppContext &context, QWidget *parent = nullptr);
    ~GroupFilterDialog() override;

    // "OK", "ｷｬﾝｾﾙ" after Cancel or Esc, empty after the close box.
    QString UserTag() const { return m_userTag; }
    QString UserGroup() const { return m_userGroup; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void firstActivation();
    void cmdOk_Click();
    void unload();

    AppContext &m_context;
    GroupTickGrid *fpSpread1 = nullptr;
    QPushButton *cmdOk = nullptr;
    QPushButton *cmdCancel = nullptr;
    QString m_userTag;
    QString m_userGroup;
    bool m_activated = false;
    bool m_closeBox = false;
    bool m_unloaded = false;
};

} // namespace lumivox
