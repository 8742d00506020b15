#pragma once

#include "mail/settingsdialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QLabel;
class QSpinBox;

namespace lumivox {

// SMTP server settings: the server, the optional login, the connection's
// protection and the sender, kept as the single row of T_SMTPサーバー (the
// password scrambled). OK stores, ｷｬﾝｾﾙ and the close box leave the row as it
// was; the position is kept in section "InpSMTP" however the dialog closes.
class SmtpSettingsDialog : public SettingsDialog
{
    Q_OBJECT
public:
    explicit SmtpSettingsDialog(AppContext &context, QWidget *parent = nullptr);

protected:
    void Form_Activate() override;
    bool storeForm(QString *error) override;
    QString formName() const override;

private:
    void updateLoginBoxes();
    void onSecurityChanged(int index);

    int m_security = 0;

    QLineEdit *txtServer = nullptr;
    QSpinBox *numPortNo = nullptr;
    QComboBox *cboSecurity = nullptr;
    QCheckBox *chkAuthenticate = nullptr;
    QLineEdit *txtUser = nullptr;
    QLineEdit *txtPassword = nullptr;
    QLineEdit *txtUserName = nullptr;
    QLineEdit *txtUserAddress = nullptr;
};

} // namespace lumivox
