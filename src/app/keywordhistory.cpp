#include "app/keywordhistory.h"

namespace lumivox {

KeywordEntry *KeywordHistory::Add(const QString &strKey, long lngIndex, bool blnBefore)
{
    auto entry = std::make_unique<KeywordEntry>();
    entry->KeyWord = strKey;
    KeywordEntry *added = entry.get();
    if (lngIndex == 0) {
        m_items.push_back(std::move(entry));
        return added;
    }
    if (lngIndex < 1 || lngIndex > Count())
        return nullptr;
    const long at = blnBefore ? lngIndex - 1 : lngIndex; // 0-based insertion point
    m_items.insert(m_items.begin() + at, std::move(entry));
    return added;
}

bool KeywordHistory::Remove(long lngIndex)
{
    if (lngIndex < 1 || lngIndex > Count())
        return false;
    m_items.erase(m_items.begin() + (lngIndex - 1));
    return true;
}

} // namespace lumivox
