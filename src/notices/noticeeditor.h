#pragma once

#include "app/appcontext.h"

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace lumivox {

class SpreadGrid;
class TableModel;
class NoticeGroupChooser;

// The notice editor: headline, body, creation and sending times, and the list of
// destination groups with the button that opens the destination-group chooser.
//
// The editor never reads or writes T_お知らせ itself: its opener connects
// LoadData (raised once, before the window is first shown) to fill the fields,
// and SaveData (raised by OK) to store them; a SaveData handler that sets
// `cancel` keeps the editor open. UsrTag() is "OK" after OK and stays empty
// when the window is left through its close box.
class NoticeEditor : public QDialog
{
    Q_OBJECT
public:
    explicit NoticeEditor(AppContext &context, QWidget *parent = nullptr);
    ~NoticeEditor() override;

    QString UsrCaption() const { return m_usrCaption; }
    void setUsrCaption(const QString &caption) { m_usrCaption = caption; }
    QString UsrHelpFile() const { return m_usrHelpFile; }
    void setUsrHelpFile(const QString &file) { m_usrHelpFile = file; }
    qint32 UsrHelpContextID() const { return m_usrHelpContextID; }
    void setUsrHelpContextID(qint32 id) { m_usrHelpContextID = id; }
    QString UsrTag() const { return m_usrTag; }
    void setUsrTag(const QString &tag) { m_usrTag = tag; }

    // The fields the opener fills and reads.
    qint64 newsId() const;
    void setNewsId(qint64 id);
    QLineEdit *txtTitle() const { return m_txtTitle; }
    QPlainTextEdit *RichTextBox1() const { return m_body; }
    QLineEdit *txtDateCreate() const { return m_txtDateCreate; }
    QLineEdit *txtDateSubmit() const { return m_txtDateSubmit; }

    // Refills the destination-group list from the notice's link rows.
    void LoadGroupList();

Q_SIGNALS:
    void LoadData();
    void SaveData(bool &cancel);

public Q_SLOTS:
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Form_Load();
    void Form_Unload();
    void cmdGroup_Click();
    void cmdOk_Click();
    void cmdHelp_Click();
    void objSelGroupforNews_LoadData(NoticeGroupChooser &chooser);
    void fitGroupColumn();

    AppContext &m_context;
    QString m_usrCaption;
    QString m_usrHelpFile;
    qint32 m_usrHelpContextID = 0;
    QString m_usrTag;

    QSpinBox *m_numNewsID = nullptr;
    QLabel *m_lblMemo = nullptr;
    QLineEdit *m_txtTitle = nullptr;
    QPlainTextEdit *m_body = nullptr;
    QLineEdit *m_txtDateCreate = nullptr;
    QLineEdit *m_txtDateSubmit = nullptr;
    SpreadGrid *fpSpread1 = nullptr;
    QPushButton *cmdGroup = nullptr;
    QPushButton *cmdOk = nullptr;
    QPushButton *cmdHelp = nullptr;
    TableModel *m_groupNames = nullptr;

    bool m_loaded = false;
    bool m_activated = false;
    bool m_unloaded = false;
};

} // namespace lumivox
