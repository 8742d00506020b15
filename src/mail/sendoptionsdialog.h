#pragma once

#include "mail/settingsdialog.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;

namespace lumivox {

struct SendOptions;

// Send options: the group-name line, the name line, folding to a byte width,
// the character set (文字コード) and the sending pace, kept as the single row
// of T_送信設定. Opened from the menu and before every send: the result is
// Accepted after OK (the row stored), Rejected after ｷｬﾝｾﾙ, Esc or the close
// box (nothing stored). The position is kept in section "InpSubmit".
// プレビュー... shows the mail of a notice as the options on screen make it.
class SendOptionsDialog : public SettingsDialog
{
    Q_OBJECT
public:
    explicit SendOptionsDialog(AppContext &context, QWidget *parent = nullptr);

    // The notice プレビュー... shows, its recipients in T_temp_送信リスト;
    // without one (0) the button is disabled.
    void setPreviewNotice(int newsId);

protected:
    void Form_Activate() override;
    bool storeForm(QString *error) override;
    QString formName() const override;

private:
    SendOptions form();
    void cmdPreview_Click();

    int m_newsId = 0;
    QCheckBox *chkGroup = nullptr;
    QCheckBox *chkName = nullptr;
    QCheckBox *chkMoji = nullptr;
    QSpinBox *numMoji = nullptr;
    QComboBox *cboCharset = nullptr;
    QSpinBox *numPerMinute = nullptr;
    QSpinBox *numPerDay = nullptr;
    QPushButton *cmdPreview = nullptr;
};

} // namespace lumivox
