#include "app/readingedit.h"

#include "app/kana.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include <algorithm>
#include <utility>

namespace lumivox {

namespace {

// How long a text confirmed by the program may take to come back from IBus.
constexpr int kEchoWaitMs = 3000;

// What a composition holds before it is converted: kana, the letters of romaji
// still being typed, and the punctuation a kana keyboard gives.
bool isComposingChar(char16_t c)
{
    return isKana(c) || (c >= 0x21 && c <= 0x7E) || (c >= 0xFF01 && c <= 0xFF5E)
           || (c >= 0xFF61 && c <= 0xFF65) || c == 0x3001 || c == 0x3002 || c == 0x300C
           || c == 0x300D || c == 0x30FB || c == 0x309B || c == 0x309C;
}

bool isComposingText(const QString &text)
{
    return !text.isEmpty()
           && std::all_of(text.cbegin(), text.cend(),
                          [](QChar c) { return isComposingChar(c.unicode()); });
}

bool holdsKana(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return isKana(c.unicode()); });
}

} // namespace

// Watches the whole program for one reading box, and only while there is
// something to watch: a mouse press anywhere or the closing of the box's window
// while a conversion is open; the second copy IBus sends of a text the box
// confirmed; the release of an Alt key that confirmed a conversion.
class CompositionGuard : public QObject
{
public:
    explicit CompositionGuard(ReadingEdit *edit) : QObject(edit), m_edit(edit) {}
    ~CompositionGuard() override { qApp->removeEventFilter(this); }

    void setComposing(bool composing)
    {
        m_composing = composing;
        update();
    }
    void dropEcho(const QString &text)
    {
        m_echo = text;
        m_echoDeadline.setRemainingTime(kEchoWaitMs);
        update();
    }
    // Qt's menu bar takes the keyboard when Alt goes up with no key between; the
    // key that followed may have gone to the input method instead.
    void keepAltRelease()
    {
        m_altRelease = true;
        qApp->installEventFilter(this); // ahead of the menu bar's own filter
        m_installed = true;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        bool drop = false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // The window sees the press before any widget acts on it or takes the focus.
            m_altRelease = false;
            if (m_composing && watched->isWindowType())
                m_edit->finishComposition();
            break;
        case QEvent::Close:
            if (m_composing && watched == m_edit->window())
                m_edit->finishComposition();
            break;
        case QEvent::InputMethod:
            if (!m_echo.isEmpty())
                drop = dropsEcho(*static_cast<QInputMethodEvent *>(event));
            break;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
            if (static_cast<QKeyEvent *>(event)->key() != Qt::Key_Alt)
                m_altRelease = false;
            else if (event->type() == QEvent::KeyRelease && m_altRelease)
                drop = std::exchange(m_altRelease, false);
            break;
        default:
            break;
        }
        update();
        return drop;
    }

private:
    // What IBus had already sent before it heard of the confirmation (the open
    // conversion shown again) comes first; then the copy. Anything else means
    // there is no copy coming: the user is typing on.
    bool dropsEcho(const QInputMethodEvent &im)
    {
        const QString preedit = im.preeditString();
        const QString commit = im.commitString();
        if (preedit.isEmpty() && commit.isEmpty())
            return false;
        const bool inTime = !m_echoDeadline.hasExpired() && im.replacementLength() == 0;
        if (inTime && commit.isEmpty() && preedit == m_echo)
            return true; // the conversion already confirmed, shown again
        const bool copy = inTime && preedit.isEmpty() && commit == m_echo;
        m_echo.clear();
        return copy;
    }

    void update()
    {
        const bool needed = m_composing || !m_echo.isEmpty() || m_altRelease;
        if (needed != m_installed) {
            if (needed)
                qApp->installEventFilter(this);
            else
                qApp->removeEventFilter(this);
            m_installed = needed;
        }
    }

    ReadingEdit *m_edit;
    bool m_installed = false;
    bool m_composing = false;
    QString m_echo;
    QDeadlineTimer m_echoDeadline;
    bool m_altRelease = false;
};

ReadingEdit::ReadingEdit(QWidget *parent) : QLineEdit(parent), m_guard(new CompositionGuard(this))
{
}

ReadingEdit::~ReadingEdit()
{
    delete m_guard; // before this box is half gone
}

void ReadingEdit::finishComposition()
{
    if (!isComposing() || !hasFocus())
        return;
    m_lastCommit.clear();
    // IBus's part of Qt confirms on commit(), fcitx5's on reset() (its commit()
    // does nothing); each sends the text here before it returns.
    QInputMethod *im = QGuiApplication::inputMethod();
    im->commit();
    if (m_lastCommit.isEmpty())
        im->reset();
    // IBus then confirms the text itself as well, once it hears of it.
    if (!m_lastCommit.isEmpty())
        m_guard->dropEcho(m_lastCommit);
}

void ReadingEdit::keyPressEvent(QKeyEvent *event)
{
    // Alt+N and the menus: the key after Alt must reach the window, not the
    // input method that holds the open conversion.
    if (event->key() == Qt::Key_Alt && isComposing()) {
        finishComposition();
        m_guard->keepAltRelease();
    }
    QLineEdit::keyPressEvent(event);
}

void ReadingEdit::inputMethodEvent(QInputMethodEvent *event)
{
    const QString commit = event->commitString();
    const QString preedit = event->preeditString();

    QLineEdit::inputMethodEvent(event);
    if (!commit.isEmpty())
        m_lastCommit = commit;
    m_preedit = preedit;
    m_guard->setComposing(!preedit.isEmpty());

    if (!commit.isEmpty()) {
        QString reading;
        if (m_composing)
            reading = m_kanaReading.isEmpty() ? m_plainReading : m_kanaReading;
        else if (isComposingText(commit) && holdsKana(commit))
            reading = commit; // committed at once, without a composition
        resetComposition();
        if (!reading.isEmpty())
            Q_EMIT readingCommitted(reading);
    }
    if (!preedit.isEmpty())
        notePreedit(preedit);
    else if (commit.isEmpty())
        resetComposition(); // the composition was cancelled
}

void ReadingEdit::notePreedit(const QString &preedit)
{
    m_composing = true;
    if (!isComposingText(preedit))
        return; // the converted text, not the reading
    // Once the composition held kana, a later one of letters only is a conversion
    // into letters (ｙａｍａｄａ) and the kana stay the reading.
    if (holdsKana(preedit))
        m_kanaReading = preedit;
    else if (m_kanaReading.isEmpty())
        m_plainReading = preedit;
}

void ReadingEdit::resetComposition()
{
    m_composing = false;
    m_kanaReading.clear();
    m_plainReading.clear();
}

} // namespace lumivox
