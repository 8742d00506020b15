#pragma once

#include "app/appcontext.h"
#include "app/dialoglifecycle.h"
#include "app/windowlayout.h"

#include <QDialog>

class QLabel;
class QLayout;
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
    // Finishes building: `controls` above the explanation (fraCaption) and a
    // row of `extraButtons` at the left and OK(&O), ｷｬﾝｾﾙ(&C) and the hidden
    // ﾍﾙﾌﾟ (cmdHelp) at the right; the tab order of `tabOrder`, then the extra
    // buttons, OK and ｷｬﾝｾﾙ; the size the contents need at the given width,
    // fixed. OK stores through storeForm and closes only when that worked (a
    // failure is told, and nothing typed is lost); ｷｬﾝｾﾙ closes.
    void finishDialog(QLayout *controls, const QString &explanation, QList<QWidget *> tabOrder, int minimumWidth,
                      const QList<QPushButton *> &extraButtons = {});
    // Labels of the dialog: a bold heading of a block and a hint beside or
    // under a box (both lblCaption), and a box's own caption (objectName + "Caption")
    // whose mnemonic leads to the box.
    QLabel *heading(const QString &text);
    QLabel *hint(const QString &text);
    QLabel *captionFor(QWidget *box, const QString &text);
    // Fills the controls from the stored row; runs once, when first shown.
    virtual void Form_Activate() = 0;
    // Stores the controls' values; false, with the database's words, when that
    // failed. `formName()` names what was not stored.
    virtual bool storeForm(QString *error) = 0;
    virtual QString formName() const = 0;

    AppContext &m_context;

private:
    WindowLayout m_layout;
    DialogLifecycle m_lifecycle;
};

} // namespace lumivox
