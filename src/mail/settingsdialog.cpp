#include "mail/settingsdialog.h"

#include "app/dialogparts.h"
#include "app/messages.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumivox {

SettingsDialog::SettingsDialog(AppContext &context, const QString &section, QWidget *parent)
    : QDialog(parent), m_context(context), m_layout(this, context, section, WindowLayout::Kind::Dialog),
      m_lifecycle(this, &m_layout)
{
    m_lifecycle.onFirstShow([this] { Form_Activate(); });
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
