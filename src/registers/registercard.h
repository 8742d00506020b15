#pragma once

#include <QList>
#include <QStringList>
#include <QVariantMap>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace lumivox {

// One box of a register's card.
struct CardBox {
    enum Kind {
        Name,      // txtName: its input-method readings go to the Reading box
        Reading,   // txtFurigana
        Honorific, // cboDono: typeable, with the honorifics listed
        Mail,      // txtEmail: letters, digits and symbols (full width only pasted)
    };
    Kind kind;
    QString objectName;
    QString field;
    int maxLength;
    QString caption;
    QString note = {}; // a second label beside the box
};

// The card of a register: one record in its boxes, the record counter, the
// buttons that move through the list and those that add and delete. The card
// shows and collects; its window decides what is stored and when.
//
// In the boxes, Enter and Down go to the next box and Up to the previous one.
// The reading of each conversion the input method commits in the name box is
// appended, in katakana, to the reading box.
class RegisterCard : public QWidget
{
    Q_OBJECT
public:
    RegisterCard(const QList<CardBox> &boxes, const QStringList &honorifics, QWidget *parent = nullptr);
    ~RegisterCard() override;

    // Shows a record's fields in their boxes.
    void showRecord(const QVariantMap &record);
    // The fields to store: those whose box no longer holds what showRecord put
    // there (a value longer than its box is not cut merely by being shown), and
    // those stored as Null.
    QVariantMap edits(const QVariantMap &stored) const;
    // What the boxes hold is now stored.
    void markSaved();
    // Enables the boxes, or empties and disables them (an empty list).
    void setBoxesEnabled(bool enabled);
    // The counter "(row/rows)" and the buttons that can act at that row.
    void showPosition(int row, int rows);
    void setAddEnabled(bool enabled);
    // The name box takes the focus with its text selected.
    void focusName();

    // Room below the boxes for what only one register shows.
    QVBoxLayout *extras() const { return m_extras; }

Q_SIGNALS:
    // A navigation button asks for a row (from 1).
    void moveRequested(int row);
    void addClicked();
    void deleteClicked();
    // The input focus left one of the boxes.
    void boxLeft();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString boxText(int i) const;
    void setBoxText(int i, const QString &text);
    int boxIndexOf(const QWidget *w) const;
    QWidget *makeBox(const CardBox &def, const QStringList &honorifics);

    QList<CardBox> m_defs;
    QList<QWidget *> m_boxes; // in the order of m_defs
    QStringList m_shown;      // what showRecord put in each box
    QLineEdit *m_readingBox = nullptr;
    QWidget *m_nameBox = nullptr;
    // The texts a new record came with while its name is selected: when typing
    // replaces that name, the reading starts afresh too.
    QString m_offeredName;
    QString m_offeredReading;
    QVBoxLayout *m_extras = nullptr;
    QLabel *m_counter = nullptr;
    QToolButton *m_top = nullptr;
    QToolButton *m_previous = nullptr;
    QToolButton *m_next = nullptr;
    QToolButton *m_bottom = nullptr;
    QPushButton *m_add = nullptr;
    QToolButton *m_delete = nullptr;
    int m_row = 0;
    int m_rows = 0;
};

} // namespace lumivox
