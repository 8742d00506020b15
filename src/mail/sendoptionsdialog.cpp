#include "mail/sendoptionsdialog.h"

#include "app/dialogparts.h"
#include "app/messages.h"
#include "mail/mailsettings.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace lumivox {

namespace {

QLabel *captionLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("lblCaption"));
    return label;
}

} // namespace

SendOptionsDialog::SendOptionsDialog(AppContext &context, QWidget *parent)
    : SettingsDialog(context, QStringLiteral("InpSubmit"), parent)
{
    setObjectName(QStringLiteral("frmInpSubmit"));
    setWindowTitle(QStringLiteral("送信ｵﾌﾟｼｮﾝ設定"));

    chkGroup = new QCheckBox(QStringLiteral("お知らせ本文にグループ名称を付加する(&G)"), this);
    chkGroup->setObjectName(QStringLiteral("chkGroup"));
    chkGroup->setChecked(true);
    chkName = new QCheckBox(QStringLiteral("お知らせ本文に名前を付加する(&N)"), this);
    chkName->setObjectName(QStringLiteral("chkName"));
    chkName->setChecked(true);
    chkMoji = new QCheckBox(QStringLiteral("１行の文字数を制限する(&L)"), this);
    chkMoji->setObjectName(QStringLiteral("chkMoji"));
    chkMoji->setChecked(true);
    numMoji = new QSpinBox(this);
    numMoji->setObjectName(QStringLiteral("numMoji"));
    numMoji->setRange(10, 512);
    numMoji->setValue(60);
    numMoji->setAlignment(Qt::AlignRight);
    auto *mojiCaption = new QLabel(QStringLiteral("１行の文字数(&C)"), this);
    mojiCaption->setObjectName(QStringLiteral("numMojiCaption"));
    mojiCaption->setBuddy(numMoji);

    auto *heading = captionLabel(QStringLiteral("■ 送信オプション"), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    auto *grid = new QGridLayout;
    grid->setColumnMinimumWidth(0, 16);
    grid->setColumnMinimumWidth(1, 16);
    grid->setColumnStretch(4, 1);
    grid->addWidget(heading, 0, 0, 1, 5);
    grid->addWidget(chkGroup, 1, 1, 1, 4);
    grid->addWidget(chkName, 2, 1, 1, 4);
    grid->addWidget(chkMoji, 3, 1, 1, 4);
    grid->addWidget(mojiCaption, 4, 2);
    grid->addWidget(numMoji, 4, 3);
    grid->addWidget(captionLabel(QStringLiteral("(10～512)"), this), 4, 4);
    grid->addWidget(captionLabel(QStringLiteral("(半角文字を１文字，全角文字を２文字でカウントします)"), this),
                    5, 2, 1, 3);

    fraCaption = explanationFrame(
        this, QStringLiteral("お知らせ「本文」の1～2行目に，グループ名称および名前を追加できます。"));

    const DialogButtons buttons = okCancelButtons(this);
    cmdOk = buttons.ok;
    cmdCancel = buttons.cancel;
    cmdHelp = addHelpButton(buttons.row);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addWidget(fraCaption);
    layout->addLayout(buttons.row);

    const QList<QWidget *> tabOrder{chkGroup, chkName, chkMoji, numMoji, cmdOk, cmdCancel};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    connect(chkMoji, &QCheckBox::toggled, numMoji, &QWidget::setEnabled);
    connect(cmdOk, &QPushButton::clicked, this, &SendOptionsDialog::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    finishLayout(440);
}

// The stored row, once; without a row the boxes keep their initial states.
void SendOptionsDialog::Form_Activate()
{
    bool ok = false;
    const SendOptions form = readSendOptions(m_context.db(), SendOptions{}, &ok);
    if (!ok)
        return;
    chkGroup->setChecked(form.addGroup);
    chkName->setChecked(form.addName);
    chkMoji->setChecked(form.limitWidth);
    numMoji->setValue(form.width);
    numMoji->setEnabled(chkMoji->isChecked());
}

void SendOptionsDialog::cmdOk_Click()
{
    numMoji->interpretText(); // a number still being typed counts
    const SendOptions form{chkGroup->isChecked(), chkName->isChecked(), chkMoji->isChecked(),
                           numMoji->value()};
    QString error;
    if (!saveSendOptions(m_context.db(), form, &error)) {
        reportWriteFailure(this, QStringLiteral("送信オプションの設定"), error);
        return;
    }
    accept();
}

} // namespace lumivox
