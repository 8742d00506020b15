#include "mail/smtpsettingsdialog.h"

#include "mail/mailsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace lumivox {

SmtpSettingsDialog::SmtpSettingsDialog(AppContext &context, QWidget *parent)
    : SettingsDialog(context, QStringLiteral("InpSMTP"), parent)
{
    setObjectName(QStringLiteral("frmInpSMTP"));
    setWindowTitle(QStringLiteral("SMTPｻｰﾊﾞｰ設定"));

    txtServer = new QLineEdit(this);
    txtServer->setObjectName(QStringLiteral("txtServer"));
    numPortNo = new QSpinBox(this);
    numPortNo->setObjectName(QStringLiteral("numPortNo"));
    numPortNo->setRange(0, 99999);
    numPortNo->setValue(25);
    numPortNo->setAlignment(Qt::AlignRight);
    cboSecurity = new QComboBox(this);
    cboSecurity->setObjectName(QStringLiteral("cboSecurity"));
    cboSecurity->addItems({QStringLiteral("なし"), QStringLiteral("STARTTLS"), QStringLiteral("SSL/TLS")});
    chkAuthenticate = new QCheckBox(QStringLiteral("SMTP認証を行う(&A)"), this);
    chkAuthenticate->setObjectName(QStringLiteral("chkAuthenticate"));
    chkAuthenticate->setChecked(true);
    txtUser = new QLineEdit(this);
    txtUser->setObjectName(QStringLiteral("txtUser"));
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtUserName = new QLineEdit(this);
    txtUserName->setObjectName(QStringLiteral("txtUserName"));
    txtUserAddress = new QLineEdit(this);
    txtUserAddress->setObjectName(QStringLiteral("txtUserAddress"));

    // No box takes more than its column of T_SMTPサーバー holds.
    for (QLineEdit *box : {txtServer, txtUser, txtPassword, txtUserName, txtUserAddress})
        box->setMaxLength(kSmtpTextLength);

    auto *grid = new QGridLayout;
    grid->setColumnMinimumWidth(0, 16);
    grid->setColumnStretch(2, 1);
    int row = 0;
    grid->addWidget(heading(QStringLiteral("■ SMTPサーバー")), row++, 0, 1, 3);
    grid->addWidget(captionFor(txtServer, QStringLiteral("SMTP サーバー名(&S)")), row, 1);
    grid->addWidget(txtServer, row++, 2);
    grid->addWidget(hint(QStringLiteral("(smtp.example.ne.jp または 192.168.1.10 など)")), row++, 2);
    grid->addWidget(captionFor(numPortNo, QStringLiteral("送信サーバーのポート番号(&P)")), row, 1);
    auto *portRow = new QHBoxLayout;
    portRow->addWidget(numPortNo);
    portRow->addSpacing(12);
    portRow->addWidget(captionFor(cboSecurity, QStringLiteral("接続の保護(&T)")));
    portRow->addWidget(cboSecurity);
    portRow->addStretch(1);
    grid->addLayout(portRow, row++, 2);
    grid->addWidget(chkAuthenticate, row++, 1, 1, 2);
    grid->addWidget(captionFor(txtUser, QStringLiteral("ユーザー名(&U)")), row, 1);
    grid->addWidget(txtUser, row++, 2);
    grid->addWidget(captionFor(txtPassword, QStringLiteral("パスワード(&W)")), row, 1);
    grid->addWidget(txtPassword, row++, 2);
    grid->setRowMinimumHeight(row++, 8);
    grid->addWidget(heading(QStringLiteral("■ 送信元")), row++, 0, 1, 3);
    grid->addWidget(captionFor(txtUserName, QStringLiteral("名前(&N)")), row, 1);
    grid->addWidget(txtUserName, row++, 2);
    grid->addWidget(captionFor(txtUserAddress, QStringLiteral("E-Mail(&E)")), row, 1);
    grid->addWidget(txtUserAddress, row++, 2);

    connect(chkAuthenticate, &QCheckBox::toggled, this, &SmtpSettingsDialog::updateLoginBoxes);
    connect(cboSecurity, &QComboBox::currentIndexChanged, this, &SmtpSettingsDialog::onSecurityChanged);

    finishDialog(grid,
                 QStringLiteral("プロバイダとの契約資料を参考に，メール送信サーバー(SMTPサーバー)の設定を行ってください。\n"
                                "\n"
                                "【注意】\n"
                                "プロバイダによっては，迷惑メール対策等のため，一度に送信できるメール数に上限を設けている"
                                "場合があります。　『Pennora』の目的と相反するところではありますが，"
                                "あらかじめご承知おき下さい。"),
                 {txtServer, numPortNo, cboSecurity, chkAuthenticate, txtUser, txtPassword, txtUserName, txtUserAddress},
                 520);
}

// The stored row, filled once; without a row the boxes keep their initial
// contents (empty, port 25, authentication ticked, no protection).
void SmtpSettingsDialog::Form_Activate()
{
    bool ok = false;
    const SmtpSettings form = readSmtpSettings(m_context.db(), SmtpSettings{}, &ok);
    if (!ok)
        return;
    txtServer->setText(form.server);
    numPortNo->setValue(form.port);
    txtUser->setText(form.user);
    txtPassword->setText(form.password);
    chkAuthenticate->setChecked(form.authenticate);
    txtUserName->setText(form.senderName);
    txtUserAddress->setText(form.senderAddress);
    m_security = static_cast<int>(form.security);
    const QSignalBlocker quiet(cboSecurity);
    cboSecurity->setCurrentIndex(m_security);
    updateLoginBoxes();
}

void SmtpSettingsDialog::updateLoginBoxes()
{
    txtUser->setEnabled(chkAuthenticate->isChecked());
    txtPassword->setEnabled(chkAuthenticate->isChecked());
}

// A port still at the usual number of the old kind of connection follows the
// new kind; a port the user chose stays.
void SmtpSettingsDialog::onSecurityChanged(int index)
{
    const auto before = static_cast<ConnectionSecurity>(m_security);
    if (numPortNo->value() == usualPort(before) || numPortNo->value() == 25)
        numPortNo->setValue(usualPort(static_cast<ConnectionSecurity>(index)));
    m_security = index;
}

QString SmtpSettingsDialog::formName() const
{
    return QStringLiteral("SMTPサーバーの設定");
}

bool SmtpSettingsDialog::storeForm(QString *error)
{
    SmtpSettings form;
    form.server = txtServer->text();
    form.port = numPortNo->value();
    form.user = txtUser->text();
    form.password = txtPassword->text();
    form.authenticate = chkAuthenticate->isChecked();
    form.senderName = txtUserName->text();
    form.senderAddress = txtUserAddress->text();
    form.security = static_cast<ConnectionSecurity>(cboSecurity->currentIndex());
    return saveSmtpSettings(m_context.db(), form, error);
}

} // namespace lumivox
