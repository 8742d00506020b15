#include "registers/keywordfilterdialog.h"

#include "app/dialogparts.h"
#include "app/placement.h"
#include "app/keywordhistory.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace lumivox {

namespace {

const QString kSection = QStringLiteral("InpFilterKey");
constexpr int kHistoryLength = 20;

} // namespace

KeywordFilterDialog::KeywordFilterDialog(AppContext &context, QWidget *parent)
    : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("frmInpFilterKey"));
    setWindowTitle(QStringLiteral("キーワードで絞り込み"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *lblCaption = new QLabel(QStringLiteral("キーワード"), this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    cboKey = new QComboBox(this);
    cboKey->setObjectName(QStringLiteral("cboKey"));
    cboKey->setEditable(true);
    cboKey->setInsertPolicy(QComboBox::NoInsert);
    cboKey->setCompleter(nullptr); // the keyword is what was typed, never a completion
    cboKey->setMaxVisibleItems(kHistoryLength);
    lblCaption->setBuddy(cboKey);
    connect(cboKey, &QComboBox::editTextChanged, this,
            [this](const QString &text) { m_userKeyword = text; });
    connect(cboKey, &QComboBox::textActivated, this,
            [this](const QString &text) { m_userKeyword = text; });

    auto *Frame1 = new QGroupBox(QStringLiteral("検索項目(&C)"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *options = new QHBoxLayout(Frame1);
    const QString captions[] = {QStringLiteral("名前(&1)"), QStringLiteral("フリガナ(&2)"),
                                QStringLiteral("E-Mail(&3)")};
    for (int i = 0; i < 3; ++i) {
        optItem[i] = new QRadioButton(captions[i], Frame1);
        optItem[i]->setObjectName(QStringLiteral("optItem") + QString::number(i));
        options->addWidget(optItem[i]);
        connect(optItem[i], &QRadioButton::clicked, this, [this, i] { optItem_Click(i); });
    }
    optItem[0]->setChecked(true);

    // The text breaks its lines itself; the dialog is as wide as its first line.
    QFrame *fraCaption = explanationFrame(
        this,
        QStringLiteral("指定したキーワードで，データ一覧を絞り込むことができます。絞り\n"
                       "込みは，常に全体に対して行います。\n"),
        false);

    const DialogButtons buttons = okCancelButtons(this);
    cmdOk = buttons.ok;
    cmdCancel = buttons.cancel;
    connect(cmdOk, &QPushButton::clicked, this, &KeywordFilterDialog::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &KeywordFilterDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblCaption);
    layout->addWidget(cboKey);
    layout->addSpacing(4);
    layout->addWidget(Frame1);
    layout->addWidget(fraCaption);
    layout->addLayout(buttons.row);

    setFixedSize(std::max(twipsToPxX(5400, this), sizeHint().width()), sizeHint().height());
    placeDialog(this, m_context.iniPath(), kSection);
    optItem_Click(0);
}

KeywordFilterDialog::~KeywordFilterDialog()
{
    unload();
}

void KeywordFilterDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_activated)
        return;
    m_activated = true;
    // The history, newest first; the keyword box itself stays empty.
    if (m_context.filterKeys) {
        const QSignalBlocker quiet(cboKey);
        for (const KeywordEntry &entry : *m_context.filterKeys)
            cboKey->addItem(entry.KeyWord);
        cboKey->setCurrentIndex(-1);
        cboKey->setEditText(m_userKeyword);
    }
    cboKey->setFocus();
}

void KeywordFilterDialog::optItem_Click(int index)
{
    static const QString columns[] = {QStringLiteral("[名前]"), QStringLiteral("[フリガナ]"),
                                      QStringLiteral("[E-Mail]")};
    m_userColName = columns[index];
}

void KeywordFilterDialog::cmdOk_Click()
{
    const QString keyword = cboKey->currentText();
    m_userKeyword = keyword;
    if (KeywordHistory *history = m_context.filterKeys; history && !keyword.isEmpty()) {
        if (history->Count() == 0)
            history->Add(keyword);
        else
            history->Add(keyword, 1, true);
        if (history->Count() > kHistoryLength)
            history->Remove(kHistoryLength + 1);
    }
    m_userTag = QStringLiteral("OK");
    accept();
}

// Cancel, Esc and the close box all end here: the history stays as it was.
void KeywordFilterDialog::done(int result)
{
    if (m_userTag != QLatin1String("OK"))
        m_userTag = QStringLiteral("ｷｬﾝｾﾙ");
    unload();
    QDialog::done(result);
}

void KeywordFilterDialog::unload()
{
    if (m_unloaded || !m_activated)
        return;
    m_unloaded = true;
    saveDialogPosition(this, m_context.iniPath(), kSection);
}

} // namespace lumivox
