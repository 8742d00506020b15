#pragma once

#include "mail/settingsdialog.h"

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QSpinBox;

namespace lumivox {

// Send options: the group-name line, the name line and folding to a byte width,
// kept as the single row of T_送信設定. Opened from the menu and before every
// send: the result is Accepted after OK (the row stored), Rejected after ｷｬﾝｾﾙ,
// Esc or the close box (nothing stored). The position is kept in section
// "InpSubmit".
class SendOptionsDialog : public SettingsDialog
{
    Q_OBJECT
public:
    explicit SendOptionsDialog(AppContext &context, QWidget *parent = nullptr);

protected:
    void Form_Activate() override;

private:
    void cmdOk_Click();

    QCheckBox *chkGroup = nullptr;
    QCheckBox *chkName = nullptr;
    QCheckBox *chkMoji = nullptr;
    QSpinBox *numMoji = nullptr;
    QFrame *fraCaption = nullptr;
    QPushButton *cmdOk = nullptr;
    QPushButton *cmdCancel = nullptr;
    QPushButton *cmdHelp = nullptr;
};

} // namespace lumivox
