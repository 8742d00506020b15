#include "mail/settingsdialog.h"

#include "app/dialogparts.h"
#include "app/messages.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumivox {

SettingsDialog::SettingsDialog(AppContext &context, const QString &section, QWidget *parent)
    : QDialog(parent), m_context(context), m_layout(this, context, section, WindowLayout::Kind::Dialog),
      m_lifecycle(this, &m_layout)
{
    m_lifecycle.onFirstShow([this] { Form_Activate(); });
}

QLabel *SettingsDialog::heading(const QString &text)
{
    QLabel *label = hint(text);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QLabel *SettingsDialog::hint(const QString &text)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("lblCaption"));
    return label;
}

QLabel *SettingsDialog::captionFor(QWidget *box, const QString &text)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(box->objectName() + QStringLiteral("Caption"));
    label->setBuddy(box);
    return label;
}

void SettingsDialog::finishDialog(QLayout *controls, const QString &explanation, QList<QWidget *> tabOrder,
                                  int minimumWidth, const QList<QPushButton *> &extraButtons)
{
    const DialogButtons buttons = okCancelButtons(this);
    auto *help = new QPushButton(QStringLiteral("ﾍﾙﾌﾟ(&H)"), this);
    help->setObjectName(QStringLiteral("cmdHelp"));
    buttons.row->addWidget(help);
    for (qsizetype i = extraButtons.size() - 1; i >= 0; --i) {
        extraButtons[i]->setAutoDefault(false);
        buttons.row->insertWidget(0, extraButtons[i]);
    }

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addSpacing(6);
    layout->addWidget(explanationFrame(this, explanation));
    layout->addLayout(buttons.row);

    for (QPushButton *button : extraButtons)
        tabOrder << button;
    tabOrder << buttons.ok << buttons.cancel;
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    connect(buttons.ok, &QPushButton::clicked, this, [this] {
        QString error;
        if (!storeForm(&error)) {
            reportWriteFailure(this, formName(), error);
            return;
        }
        accept();
    });
    connect(buttons.cancel, &QPushButton::clicked, this, &QDialog::reject);

    setMinimumWidth(minimumWidth);
    adjustSize(); // the height the wrapped explanation needs at that width
    setFixedSize(size());
    help->hide();
}

} // namespace lumivox
