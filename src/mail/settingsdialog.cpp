#include "mail/settingsdialog.h"

#include "app/placement.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace lumivox {

SettingsDialog::SettingsDialog(AppContext &context, const QString &section, QWidget *parent)
    : QDialog(parent), m_context(context), m_section(section)
{
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
    placeDialog(this, m_context.iniPath(), m_section);
    if (m_help)
        m_help->hide();
}

void SettingsDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_filled) {
        m_filled = true;
        Form_Activate();
    }
}

void SettingsDialog::done(int result)
{
    saveDialogPosition(this, m_context.iniPath(), m_section);
    QDialog::done(result);
}

} // namespace lumivox
