#include "mail/settingsdialog.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace lumivox {

SettingsDialog::SettingsDialog(AppContext &context, const QString &section, QWidget *parent)
    : QDialog(parent), m_context(context), m_layout(this, context, section, WindowLayout::Kind::Dialog),
      m_lifecycle(this, &m_layout)
{
    m_lifecycle.onFirstShow([this] { Form_Activate(); });
}

QPushButton *SettingsDialog::addHelpButton(QHBoxLayout *row)
{
    m_help = new QPushButton(QStringLiteral("ﾍﾙﾌﾟ(&H)"), this);
    m_help->setObjectName(QStringLiteral("cmdHelp"));
    row->addWidget(m_help);
    return m_help;
}

void SettingsDialog::finishLayout(int minimumWidth)
{
    setMinimumWidth(minimumWidth);
    adjustSize(); // the height the wrapped explanation needs at that width
    setFixedSize(size());
    if (m_help)
        m_help->hide();
}

} // namespace lumivox
