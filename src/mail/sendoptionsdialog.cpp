#include "mail/sendoptionsdialog.h"

#include "app/dialogparts.h"
#include "app/messages.h"
#include "mail/mailsettings.h"
#include "mail/previewdialog.h"
#include "mail/sendrun.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace lumivox {

namespace {

QSpinBox *numberBox(const char *name, int minimum, int maximum, int value, QWidget *parent)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(minimum, maximum);
    box->setValue(value);
    box->setAlignment(Qt::AlignRight);
    return box;
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
    numMoji = numberBox("numMoji", 10, 512, 60, this);
    cboCharset = new QComboBox(this);
    cboCharset->setObjectName(QStringLiteral("cboCharset"));
    cboCharset->addItems({QStringLiteral("ISO-2022-JP"), QStringLiteral("UTF-8"), QStringLiteral("自動")});
    numPerMinute = numberBox("numPerMinute", 0, 9999, 0, this);
    numPerDay = numberBox("numPerDay", 0, 99999, 0, this);
    cmdPreview = new QPushButton(QStringLiteral("プレビュー(&P)..."), this);
    cmdPreview->setObjectName(QStringLiteral("cmdPreview"));
    cmdPreview->setEnabled(false);


    auto *grid = new QGridLayout;
    grid->setColumnMinimumWidth(0, 16);
    grid->setColumnMinimumWidth(1, 16);
    grid->setColumnStretch(4, 1);
    grid->addWidget(heading(QStringLiteral("■ 送信オプション")), 0, 0, 1, 5);
    grid->addWidget(chkGroup, 1, 1, 1, 4);
    grid->addWidget(chkName, 2, 1, 1, 4);
    grid->addWidget(chkMoji, 3, 1, 1, 4);
    grid->addWidget(captionFor(numMoji, QStringLiteral("１行の文字数(&C)")), 4, 2);
    grid->addWidget(numMoji, 4, 3);
    grid->addWidget(hint(QStringLiteral("(10～512)")), 4, 4);
    grid->addWidget(hint(QStringLiteral("(半角文字を１文字，全角文字を２文字でカウントします)")),
                    5, 2, 1, 3);
    grid->setRowMinimumHeight(6, 6);
    grid->addWidget(captionFor(cboCharset, QStringLiteral("文字コード(&K)")), 7, 1, 1, 2);
    grid->addWidget(cboCharset, 7, 3);
    grid->addWidget(hint(QStringLiteral("(自動：JIS で送れない文字があるメールだけ UTF-8)")), 7, 4);
    grid->addWidget(captionFor(numPerMinute, QStringLiteral("１分間の送信数の上限(&M)")), 8, 1, 1, 2);
    grid->addWidget(numPerMinute, 8, 3);
    grid->addWidget(hint(QStringLiteral("通 (0 は制限なし)")), 8, 4);
    grid->addWidget(captionFor(numPerDay, QStringLiteral("１日の送信数の上限(&D)")), 9, 1, 1, 2);
    grid->addWidget(numPerDay, 9, 3);
    grid->addWidget(hint(QStringLiteral("通 (0 は制限なし，24時間あたり)")), 9, 4);

    connect(chkMoji, &QCheckBox::toggled, numMoji, &QWidget::setEnabled);
    connect(cmdPreview, &QPushButton::clicked, this, &SendOptionsDialog::cmdPreview_Click);

    finishDialog(grid,
                 QStringLiteral("お知らせ「本文」の1～2行目に，グループ名称および名前を追加できます。\n"
                                "プロバイダの送信数の制限に合わせて，送信の間隔と１日の上限を指定できます。"),
                 {chkGroup, chkName, chkMoji, numMoji, cboCharset, numPerMinute, numPerDay}, 440, {cmdPreview});
}

void SendOptionsDialog::setPreviewNotice(int newsId)
{
    m_newsId = newsId;
    cmdPreview->setEnabled(newsId > 0);
}

// The stored row, once; without a row the boxes keep their initial states.
void SendOptionsDialog::Form_Activate()
{
    bool ok = false;
    const SendOptions stored = readSendOptions(m_context.db(), SendOptions{}, &ok);
    if (!ok)
        return;
    chkGroup->setChecked(stored.addGroup);
    chkName->setChecked(stored.addName);
    chkMoji->setChecked(stored.limitWidth);
    numMoji->setValue(stored.width);
    numMoji->setEnabled(chkMoji->isChecked());
    cboCharset->setCurrentIndex(static_cast<int>(stored.charset));
    numPerMinute->setValue(stored.perMinute);
    numPerDay->setValue(stored.perDay);
}

SendOptions SendOptionsDialog::form()
{
    for (QSpinBox *box : {numMoji, numPerMinute, numPerDay})
        box->interpretText(); // a number still being typed counts
    SendOptions options{chkGroup->isChecked(), chkName->isChecked(), chkMoji->isChecked(), numMoji->value()};
    options.charset = static_cast<MailCharset>(cboCharset->currentIndex());
    options.perMinute = numPerMinute->value();
    options.perDay = numPerDay->value();
    return options;
}

QString SendOptionsDialog::formName() const
{
    return QStringLiteral("送信オプションの設定");
}

bool SendOptionsDialog::storeForm(QString *error)
{
    return saveSendOptions(m_context.db(), form(), error);
}

// The mails as the options on screen (not yet stored) make them.
void SendOptionsDialog::cmdPreview_Click()
{
    const SendOptions options = form();
    bool read = false;
    const SendPlan plan = readSendPlan(m_context.db(), m_newsId, &read, &options);
    if (!read || plan.rows.isEmpty()) {
        informUser(this, QStringLiteral("送信リストを読み込めませんでした。"));
        return;
    }
    PreviewDialog preview(plan, this);
    runModal(preview);
}

} // namespace lumivox
