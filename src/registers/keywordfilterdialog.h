#pragma once

#include "app/appcontext.h"

#include <QDialog>

class QComboBox;
class QPushButton;
class QRadioButton;

namespace lumivox {

// The keyword filter of the member register: a keyword, typed or picked from this
// run's history, and the column to search. The history (newest first, at most 20
// entries, duplicates kept) grows on OK only.
class KeywordFilterDialog : public QDialog
{
    Q_OBJECT
public:
    explicit KeywordFilterDialog(AppContext &context, QWidget *parent = nullptr);
    ~KeywordFilterDialog() override;

    // "OK", or "ｷｬﾝｾﾙ" after Cancel, Esc or the close box.
    QString UserTag() const { return m_userTag; }
    QString UserKeyword() const { return m_userKeyword; }
    // "[名前]", "[フリガナ]" or "[E-Mail]".
    QString UserColName() const { return m_userColName; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void optItem_Click(int index);
    void cmdOk_Click();
    void unload();

    AppContext &m_context;
    QComboBox *cboKey = nullptr;
    QRadioButton *optItem[3] = {};
    QPushButton *cmdOk = nullptr;
    QPushButton *cmdCancel = nullptr;
    QString m_userTag;
    QString m_userKeyword;
    QString m_userColName;
    bool m_activated = false;
    bool m_unloaded = false;
};

} // namespace lumivox
