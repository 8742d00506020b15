#include "app/settingsfile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <limits>
#include <optional>

namespace lumivox {

namespace {

constexpr int kMaxStringBytes = 127;

QString sectionName(const QString &line)
{
    const QString t = line.trimmed();
    if (t.startsWith(u'[') && t.endsWith(u']'))
        return t.mid(1, t.size() - 2).trimmed();
    return {};
}

bool isSectionLine(const QString &line)
{
    const QString t = line.trimmed();
    return t.startsWith(u'[') && t.endsWith(u']');
}

// The key of a key=value line, or an empty text.
QString keyOf(const QString &line)
{
    const qsizetype eq = line.indexOf(u'=');
    return eq > 0 ? line.left(eq).trimmed() : QString();
}

// The file's lines; none when it is missing or cannot be read. *unreadable
// tells the two apart: a file that is there but cannot be read.
QStringList readLines(const QString &path, bool *unreadable = nullptr)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (unreadable)
            *unreadable = f.exists();
        return {};
    }
    if (unreadable)
        *unreadable = false;
    QString text = QString::fromUtf8(f.readAll());
    text.remove(u'\r');
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The raw value of section/key, or nothing when absent.
std::optional<QString> lookUp(const QString &path, const QString &section, const QString &key)
{
    bool inSection = false;
    for (const QString &line : readLines(path)) {
        if (isSectionLine(line)) {
            inSection = sectionName(line).compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inSection && keyOf(line).compare(key, Qt::CaseInsensitive) == 0) {
            return line.mid(line.indexOf(u'=') + 1).trimmed();
        }
    }
    return {};
}

} // namespace

std::int32_t SettingsFile::GetValueLong(const QString &strINIFileName,
                                           const QString &strSection,
                                           const QString &strKey) const
{
    const QString value = lookUp(strINIFileName, strSection, strKey).value_or(QString());
    qsizetype i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == u'-' || value[i] == u'+')) {
        negative = value[i] == u'-';
        ++i;
    }
    std::int64_t n = 0;
    for (; i < value.size() && value[i] >= u'0' && value[i] <= u'9'; ++i) {
        n = n * 10 + (value[i].unicode() - u'0');
        if (n > std::numeric_limits<std::int32_t>::max())
            n = std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(negative ? -n : n);
}

QString SettingsFile::GetValueString(const QString &strINIFileName, const QString &strSection,
                                        const QString &strKey) const
{
    QString value = lookUp(strINIFileName, strSection, strKey).value_or(QString());
    if (const qsizetype nul = value.indexOf(QChar(0)); nul >= 0)
        value.truncate(nul);
    QByteArray bytes = value.toUtf8();
    if (bytes.size() <= kMaxStringBytes)
        return value;
    bytes.truncate(kMaxStringBytes);
    // Never end inside a multi-byte character: drop an incomplete tail.
    qsizetype end = bytes.size();
    qsizetype lead = end - 1;
    while (lead > 0 && (static_cast<unsigned char>(bytes[lead]) & 0xC0) == 0x80)
        --lead;
    const auto c = static_cast<unsigned char>(bytes[lead]);
    const qsizetype need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (end - lead < need)
        end = lead;
    return QString::fromUtf8(bytes.left(end));
}

std::int16_t SettingsFile::SetValueString(const QString &strINIFileName,
                                             const QString &strSection, const QString &strKey,
                                             const QString &strValue) const
{
    if (strSection.isEmpty() || strKey.isEmpty())
        return 0;
    QString value = strValue;
    value.replace(u'\r', u' ').replace(u'\n', u' ');

    // A file that is there but cannot be read is not replaced by a file holding
    // this one key: every other window's settings would be lost.
    bool unreadable = false;
    QStringList lines = readLines(strINIFileName, &unreadable);
    if (unreadable)
        return 0;
    const QString entry = strKey + u'=' + value;
    qsizetype sectionAt = -1;
    qsizetype insertAt = -1;
    bool written = false;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (isSectionLine(lines[i])) {
            if (inSection)
                break;
            inSection = sectionName(lines[i]).compare(strSection, Qt::CaseInsensitive) == 0;
            if (inSection) {
                sectionAt = i;
                insertAt = i + 1;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (keyOf(lines[i]).compare(strKey, Qt::CaseInsensitive) == 0) {
            // The file already says so: no rewrite (and no wait for the disk).
            if (lines[i] == entry)
                return 1;
            lines[i] = entry;
            written = true;
            break;
        }
        if (!lines[i].trimmed().isEmpty())
            insertAt = i + 1;
    }
    if (!written) {
        if (sectionAt < 0) {
            if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
                lines << QString();
            lines << u'[' + strSection + u']' << entry;
        } else {
            lines.insert(insertAt, entry);
        }
    }

    QSaveFile out(strINIFileName);
    if (!out.open(QIODevice::WriteOnly))
        return 0;
    out.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    return out.commit() ? 1 : 0;
}

} // namespace lumivox
