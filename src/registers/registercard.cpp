#include "registers/registercard.h"

#include "app/kana.h"
#include "app/readingedit.h"
#include "app/toolset.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>

namespace lumivox {

namespace {

enum class Arrow { Top, Previous, Next, Bottom };

// The pictures of the navigation buttons: a triangle, with a bar for the ends.
QIcon arrowIcon(Arrow arrow)
{
    QPixmap pic(16, 16);
    pic.fill(Qt::transparent);
    QPainter p(&pic);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    const bool left = arrow == Arrow::Top || arrow == Arrow::Previous;
    const bool bar = arrow == Arrow::Top || arrow == Arrow::Bottom;
    QPolygonF triangle;
    if (left)
        triangle << QPointF(12.5, 3) << QPointF(12.5, 13) << QPointF(5, 8);
    else
        triangle << QPointF(3.5, 3) << QPointF(3.5, 13) << QPointF(11, 8);
    if (!bar)
        triangle.translate(left ? -1.5 : 1.5, 0);
    p.drawPolygon(triangle);
    if (bar)
        p.drawRect(left ? QRectF(2.5, 3, 2, 10) : QRectF(11.5, 3, 2, 10));
    return QIcon(pic);
}

QToolButton *pictureButton(const QString &name, const QIcon &icon, const QString &tip,
                           QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(icon);
    b->setToolTip(tip);
    b->setFocusPolicy(Qt::StrongFocus);
    b->setAutoRaise(false);
    b->setMinimumSize(30, 26);
    return b;
}

} // namespace

RegisterCard::RegisterCard(const QList<CardBox> &boxes, const QStringList &honorifics, QWidget *parent)
    : QWidget(parent), m_defs(boxes)
{
    setObjectName(QStringLiteral("Card"));
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(10, 8, 10, 8);
    v->setSpacing(3);

    for (const CardBox &def : std::as_const(m_defs)) {
        auto *caption = new QLabel(def.caption, this);
        caption->setObjectName(QStringLiteral("lbl") + def.objectName.mid(3));
        v->addWidget(caption);
        QWidget *box = makeBox(def, honorifics);
        box->setObjectName(def.objectName);
        box->setToolTip(def.caption);
        caption->setBuddy(box);
        if (def.note.isEmpty()) {
            v->addWidget(box);
        } else {
            auto *row = new QHBoxLayout;
            row->addWidget(box, 1);
            auto *note = new QLabel(def.note, this);
            note->setObjectName(QStringLiteral("lbl") + def.objectName.mid(3) + QStringLiteral("Note"));
            row->addWidget(note);
            v->addLayout(row);
        }
        v->addSpacing(4);
        m_boxes << box;
        m_shown << QString();
    }

    m_extras = new QVBoxLayout;
    m_extras->setSpacing(3);
    v->addLayout(m_extras);
    v->addSpacing(8);

    auto *nav = new QHBoxLayout;
    nav->setSpacing(2);
    m_top = pictureButton(QStringLiteral("cmdTop"), arrowIcon(Arrow::Top),
                          QStringLiteral("最初のﾚｺｰﾄﾞを表示する"), this);
    m_previous = pictureButton(QStringLiteral("cmdPrevious"), arrowIcon(Arrow::Previous),
                               QStringLiteral("ひとつ前のﾚｺｰﾄﾞを表示する"), this);
    m_counter = new QLabel(QStringLiteral("(0/0)"), this);
    m_counter->setObjectName(QStringLiteral("lblRecord"));
    m_counter->setAlignment(Qt::AlignCenter);
    m_counter->setMinimumWidth(70);
    m_next = pictureButton(QStringLiteral("cmdNext"), arrowIcon(Arrow::Next),
                           QStringLiteral("次のﾚｺｰﾄﾞを表示する"), this);
    m_bottom = pictureButton(QStringLiteral("cmdBottom"), arrowIcon(Arrow::Bottom),
                             QStringLiteral("最後のﾚｺｰﾄﾞを表示する"), this);
    nav->addWidget(m_top);
    nav->addWidget(m_previous);
    nav->addWidget(m_counter, 1);
    nav->addWidget(m_next);
    nav->addWidget(m_bottom);
    v->addLayout(nav);

    auto *edit = new QHBoxLayout;
    m_add = new QPushButton(QStringLiteral("新規(&N)"), this);
    m_add->setObjectName(QStringLiteral("cmdAdd"));
    m_add->setToolTip(QStringLiteral("新規にﾚｺｰﾄﾞを作成する"));
    m_add->setAutoDefault(false);
    m_delete = pictureButton(QStringLiteral("cmdDel"), programIcon(QStringLiteral("edit-delete")),
                             QStringLiteral("現在のﾚｺｰﾄﾞを削除する"), this);
    edit->addWidget(m_add, 1);
    edit->addWidget(m_delete);
    v->addLayout(edit);
    v->addStretch(1);

    // Each button acts only where it leads somewhere.
    connect(m_top, &QToolButton::clicked, this, [this] {
        if (m_rows > 0 && m_row != 1)
            Q_EMIT moveRequested(1);
    });
    connect(m_previous, &QToolButton::clicked, this, [this] {
        if (m_rows > 0 && m_row > 1)
            Q_EMIT moveRequested(m_row - 1);
    });
    connect(m_next, &QToolButton::clicked, this, [this] {
        if (m_rows > 0 && m_row < m_rows)
            Q_EMIT moveRequested(m_row + 1);
    });
    connect(m_bottom, &QToolButton::clicked, this, [this] {
        if (m_rows > 0 && m_row != m_rows)
            Q_EMIT moveRequested(m_rows);
    });
    connect(m_add, &QPushButton::clicked, this, &RegisterCard::addClicked);
    connect(m_delete, &QToolButton::clicked, this, &RegisterCard::deleteClicked);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *now) {
        if (!old)
            return;
        const int from = boxIndexOf(old);
        if (from >= 0 && boxIndexOf(now) != from)
            Q_EMIT boxLeft();
    });
}

RegisterCard::~RegisterCard()
{
    // The boxes go after this destructor, and the focus with them.
    disconnect(qApp, nullptr, this, nullptr);
    for (QWidget *box : std::as_const(m_boxes))
        box->removeEventFilter(this);
}

QWidget *RegisterCard::makeBox(const CardBox &def, const QStringList &honorifics)
{
    QLineEdit *edit = nullptr;
    switch (def.kind) {
    case CardBox::Name: {
        auto *name = new ReadingEdit(this);
        connect(name, &ReadingEdit::readingCommitted, this, [this, name](const QString &reading) {
            if (!m_readingBox)
                return;
            const bool replaced = !m_offeredName.isEmpty() && !name->text().contains(m_offeredName)
                                  && m_readingBox->text() == m_offeredReading;
            m_offeredName.clear();
            m_readingBox->setText((replaced ? QString() : m_readingBox->text())
                                  + toReadingKatakana(reading));
        });
        m_nameBox = edit = name;
        break;
    }
    case CardBox::Reading:
        m_readingBox = edit = new QLineEdit(this);
        break;
    case CardBox::Honorific: {
        auto *combo = new QComboBox(this);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
        combo->lineEdit()->setMaxLength(def.maxLength);
        // The honorifics in table order; whatever else is typed is kept too.
        combo->addItems(honorifics);
        combo->setEditText(QString());
        return combo;
    }
    case CardBox::Mail:
        edit = new QLineEdit(this);
        // Half-width letters, digits and symbols only, no input method; a
        // pasted full-width address is taken and made half-width when stored.
        edit->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[\\x21-\\x7E\\x{FF01}-\\x{FF5E}]*")), edit));
        edit->setAttribute(Qt::WA_InputMethodEnabled, false);
        edit->setInputMethodHints(Qt::ImhLatinOnly | Qt::ImhEmailCharactersOnly);
        break;
    }
    edit->setMaxLength(def.maxLength);
    edit->installEventFilter(this);
    return edit;
}

QString RegisterCard::boxText(int i) const
{
    if (auto *edit = qobject_cast<QLineEdit *>(m_boxes[i]))
        return edit->text();
    return static_cast<QComboBox *>(m_boxes[i])->currentText();
}

void RegisterCard::setBoxText(int i, const QString &text)
{
    if (auto *edit = qobject_cast<QLineEdit *>(m_boxes[i]))
        edit->setText(text);
    else
        static_cast<QComboBox *>(m_boxes[i])->setEditText(text);
    m_shown[i] = boxText(i); // as the box holds it (cut to its length)
}

int RegisterCard::boxIndexOf(const QWidget *w) const
{
    for (const QObject *o = w; o; o = o->parent()) {
        const auto i = m_boxes.indexOf(static_cast<QWidget *>(const_cast<QObject *>(o)));
        if (i >= 0)
            return static_cast<int>(i);
    }
    return -1;
}

void RegisterCard::showRecord(const QVariantMap &record)
{
    for (int i = 0; i < m_boxes.size(); ++i)
        setBoxText(i, record.value(m_defs[i].field).toString());
}

QVariantMap RegisterCard::edits(const QVariantMap &stored) const
{
    QVariantMap values;
    for (int i = 0; i < m_boxes.size(); ++i) {
        const QString text = boxText(i);
        if (text != m_shown[i] || stored.value(m_defs[i].field).isNull())
            values.insert(m_defs[i].field, text);
    }
    return values;
}

void RegisterCard::markSaved()
{
    for (int i = 0; i < m_boxes.size(); ++i)
        m_shown[i] = boxText(i);
}

void RegisterCard::setBoxesEnabled(bool enabled)
{
    for (int i = 0; i < m_boxes.size(); ++i) {
        if (!enabled)
            setBoxText(i, QString());
        m_boxes[i]->setEnabled(enabled);
    }
}

void RegisterCard::showPosition(int row, int rows)
{
    m_row = row;
    m_rows = rows;
    m_counter->setText(QStringLiteral("(%1/%2)").arg(row).arg(rows));
    const bool back = rows > 1 && row != 1;
    const bool forward = rows > 1 && row != rows;
    m_top->setEnabled(back);
    m_previous->setEnabled(back);
    m_next->setEnabled(forward);
    m_bottom->setEnabled(forward);
    m_delete->setEnabled(rows > 0);
}

void RegisterCard::setAddEnabled(bool enabled)
{
    m_add->setEnabled(enabled);
}

void RegisterCard::focusName()
{
    if (!m_nameBox || !m_nameBox->isEnabled())
        return;
    m_nameBox->setFocus();
    // A new group comes named グループ１: what the user types replaces it.
    if (auto *edit = qobject_cast<QLineEdit *>(m_nameBox)) {
        edit->selectAll();
        m_offeredName = edit->text();
        m_offeredReading = m_readingBox ? m_readingBox->text() : QString();
    }
}

bool RegisterCard::eventFilter(QObject *watched, QEvent *event)
{
    // Enter and Down go to the next box of the card, Up to the previous one.
    if (event->type() == QEvent::KeyPress && boxIndexOf(qobject_cast<QWidget *>(watched)) >= 0) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Down:
                focusNextPrevChild(true);
                return true;
            case Qt::Key_Up:
                focusNextPrevChild(false);
                return true;
            default:
                break;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace lumivox
