#pragma once

#include "app/appcontext.h"
#include "app/dialoglifecycle.h"
#include "app/windowlayout.h"

#include <QDialog>

class QComboBox;

namespace lumivox {

// The keyword filter of the member register: a keyword, typed or picked from this
// run's history, and the column to search. OK accepts the dialog; ｷｬﾝｾﾙ, Esc and
// the close box reject it. The history (newest first, at most 20 entries,
// duplicates kept) grows on OK only.
class KeywordFilterDialog : public QDialog
{
    Q_OBJECT
public:
    explicit KeywordFilterDialog(AppContext &context, QWidget *parent = nullptr);

    // The keyword as last typed or picked; empty when the box was never changed.
    QString keyword() const { return m_keyword; }
    // The column to search: "[名前]", "[フリガナ]" or "[E-Mail]".
    QString columnName() const { return m_columnName; }

private:
    void listHistory();
    void chooseColumn(int index);
    void confirm();

    AppContext &m_context;
    QComboBox *m_keywordBox = nullptr;
    QString m_keyword;
    QString m_columnName;
    WindowLayout m_layout;
    DialogLifecycle m_lifecycle{this, &m_layout};
};

} // namespace lumivox
