#include "registers/keywordfilterdialog.h"

#include "app/dialogparts.h"
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
    : QDialog(parent), m_context(context), m_layout(this, context, kSection, WindowLayout::Kind::Dialog)
{
    setObjectName(QStringLiteral("frmInpFilterKey"));
    setWindowTitle(QStringLiteral("キーワードで絞り込み"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *lblCaption = new QLabel(QStringLiteral("キーワード"), this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    m_keywordBox = new QComboBox(this);
    m_keywordBox->setObjectName(QStringLiteral("cboKey"));
    m_keywordBox->setEditable(true);
    m_keywordBox->setInsertPolicy(QComboBox::NoInsert);
    m_keywordBox->setCompleter(nullptr); // the keyword is what was typed, never a completion
    m_keywordBox->setMaxVisibleItems(kHistoryLength);
    lblCaption->setBuddy(m_keywordBox);
    connect(m_keywordBox, &QComboBox::editTextChanged, this,
            [this](const QString &text) { m_keyword = text; });
    connect(m_keywordBox, &QComboBox::textActivated, this,
            [this](const QString &text) { m_keyword = text; });

    auto *Frame1 = new QGroupBox(QStringLiteral("検索項目(&C)"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *options = new QHBoxLayout(Frame1);
    const QString captions[] = {QStringLiteral("名前(&1)"), QStringLiteral("フリガナ(&2)"),
                                QStringLiteral("E-Mail(&3)")};
    for (int i = 0; i < 3; ++i) {
        auto *option = new QRadioButton(captions[i], Frame1);
        option->setObjectName(QStringLiteral("optItem") + QString::number(i));
        option->setChecked(i == 0);
        options->addWidget(option);
        connect(option, &QRadioButton::clicked, this, [this, i] { chooseColumn(i); });
    }

    // The text breaks its lines itself; the dialog is as wide as its first line.
    QFrame *fraCaption = explanationFrame(
        this,
        QStringLiteral("指定したキーワードで，データ一覧を絞り込むことができます。絞り\n"
                       "込みは，常に全体に対して行います。\n"),
        false);

    const DialogButtons buttons = okCancelButtons(this);
    connect(buttons.ok, &QPushButton::clicked, this, &KeywordFilterDialog::confirm);
    connect(buttons.cancel, &QPushButton::clicked, this, &KeywordFilterDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblCaption);
    layout->addWidget(m_keywordBox);
    layout->addSpacing(4);
    layout->addWidget(Frame1);
    layout->addWidget(fraCaption);
    layout->addLayout(buttons.row);

    setFixedSize(std::max(twipsToPxX(5400, this), sizeHint().width()), sizeHint().height());
    chooseColumn(0);
    m_lifecycle.onFirstShow([this] { listHistory(); });
}

void KeywordFilterDialog::listHistory()
{
    // The history, newest first; the keyword box itself stays empty.
    if (m_context.filterKeys) {
        const QSignalBlocker quiet(m_keywordBox);
        for (const KeywordEntry &entry : *m_context.filterKeys)
            m_keywordBox->addItem(entry.KeyWord);
        m_keywordBox->setCurrentIndex(-1);
        m_keywordBox->setEditText(m_keyword);
    }
    m_keywordBox->setFocus();
}

void KeywordFilterDialog::chooseColumn(int index)
{
    static const QString columns[] = {QStringLiteral("[名前]"), QStringLiteral("[フリガナ]"),
                                      QStringLiteral("[E-Mail]")};
    m_columnName = columns[index];
}

void KeywordFilterDialog::confirm()
{
    const QString keyword = m_keywordBox->currentText();
    m_keyword = keyword;
    if (KeywordHistory *history = m_context.filterKeys; history && !keyword.isEmpty()) {
        if (history->Count() == 0)
            history->Add(keyword);
        else
            history->Add(keyword, 1, true);
        if (history->Count() > kHistoryLength)
            history->Remove(kHistoryLength + 1);
    }
    accept();
}

} // namespace lumivox
