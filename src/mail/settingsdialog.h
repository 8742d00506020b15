#pragma once

#include "app/appcontext.h"
#include "app/dialoglifecycle.h"
#include "app/windowlayout.h"

#include <QDialog>

class QHBoxLayout;
class QPushButton;

namespace lumivox {

// What the SMTP settings and the send options have in common: a fixed-size
// dialog placed from its settings section (centred when nothing is saved, always
// on a visible screen), a ﾍﾙﾌﾟ button that is always hidden, the stored row
// filled in once on first showing, and the position written back however the
// dialog closes.
class SettingsDialog : public QDialog
{
    Q_OBJECT
public:
    SettingsDialog(AppContext &context, const QString &section, QWidget *parent);

protected:
    // The hidden ﾍﾙﾌﾟ button (cmdHelp), added to the right of a button row.
    QPushButton *addHelpButton(QHBoxLayout *row);
    // Fixes the size the contents need at the given width.
    void finishLayout(int minimumWidth);
    // Fills the controls from the stored row; runs once, when first shown.
    virtual void Form_Activate() = 0;

    AppContext &m_context;

private:
    QPushButton *m_help = nullptr;
    WindowLayout m_layout;
    DialogLifecycle m_lifecycle;
};

} // namespace lumivox
