#pragma once

#include <QString>
#include <cstdint>

namespace lumivox {

// The settings file (lumivox.INI beside the program): one section per window,
// key=value lines. Reading follows the rules of the classic private-profile calls:
// section and key names match without regard to case; an integer read takes the
// value's leading whole number (optional minus sign) and gives 0 when the file,
// section or key is missing or the value does not start with a digit; a string
// read returns at most 127 bytes. Every write goes straight to the file and
// replaces it atomically, so a crash never leaves a truncated file. Errors are
// never reported: a failing read gives the default, a failing write changes
// nothing. A file that is there but cannot be read is never written (a write
// would replace it with the one key).
class SettingsFile
{
public:
    std::int32_t GetValueLong(const QString &strINIFileName, const QString &strSection,
                              const QString &strKey) const;
    QString GetValueString(const QString &strINIFileName, const QString &strSection,
                           const QString &strKey) const;
    std::int16_t SetValueString(const QString &strINIFileName, const QString &strSection,
                                const QString &strKey, const QString &strValue) const;
};

} // namespace lumivox
