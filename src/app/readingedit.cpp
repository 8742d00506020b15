#include "app/readingedit.h"

#include "app/kana.h"

#include <QInputMethodEvent>

#include <algorithm>

namespace lumivox {

namespace {

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


ReadingEdit::ReadingEdit(QWidget *parent) : QLineEdit(parent)
{
}

void ReadingEdit::inputMethodEvent(QInputMethodEvent *event)
{
    const QString commit = event->commitString();
    const QString preedit = event->preeditString();

    QLineEdit::inputMethodEvent(event);

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
