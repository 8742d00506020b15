#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace lumivox {

// One keyword of the history.
class KeywordEntry
{
public:
    QString KeyWord;
};

// The keyword history of the member register's keyword filter: an ordered list
// of entries numbered from 1, duplicates allowed. The program keeps one for the
// whole run (gcolFilterKey), newest first, in memory only.
class KeywordHistory
{
public:
    // With lngIndex 0 the entry is appended; otherwise it goes before (blnBefore)
    // or after position lngIndex. A position outside 1..Count adds nothing and
    // gives nullptr.
    KeywordEntry *Add(const QString &strKey, long lngIndex = 0, bool blnBefore = false);
    // Removes the entry at lngIndex; false when lngIndex is outside 1..Count.
    bool Remove(long lngIndex);
    long Count() const { return static_cast<long>(m_items.size()); }

    // Walks the entries from position 1 (for range-for loops).
    class Iterator
    {
    public:
        using Inner = std::vector<std::unique_ptr<KeywordEntry>>::const_iterator;
        explicit Iterator(Inner it) : m_it(it) {}
        const KeywordEntry &operator*() const { return **m_it; }
        Iterator &operator++()
        {
            ++m_it;
            return *this;
        }
        bool operator!=(const Iterator &other) const { return m_it != other.m_it; }

    private:
        Inner m_it;
    };
    Iterator begin() const { return Iterator(m_items.cbegin()); }
    Iterator end() const { return Iterator(m_items.cend()); }

private:
    std::vector<std::unique_ptr<KeywordEntry>> m_items;
};

} // namespace lumivox
