#include "app/settingsfile.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QSaveFile>
#include <QStringList>

#include <sys/stat.h>

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

// A window reads a dozen keys as it opens and writes them back as it closes:
// the file's lines are kept between reads while the file stays as it was (same
// file, size and modification time). A file changed less than a second before
// it was read is read again every time: its time says too little, as a change
// within the clock's last tick would leave it the same.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
    bool operator==(const FileStamp &o) const
    {
        return device == o.device && inode == o.inode && size == o.size
            && modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

std::optional<FileStamp> stampOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

struct KeptLines {
    FileStamp stamp;
    QList<QByteArray> lines;
};

QMutex g_keptLock;
QHash<QString, KeptLines> g_kept;

// The file's lines as bytes; none when it is missing or cannot be read.
// *unreadable tells the two apart: a file that is there but cannot be read.
// Lines stay bytes so that a write changes only the line of its key: text that
// is not UTF-8 (an old editor's Shift_JIS comment, say) is kept as it is.
QList<QByteArray> readLines(const QString &path, bool *unreadable = nullptr)
{
    const std::optional<FileStamp> stamp = stampOf(path);
    if (stamp) {
        const QMutexLocker locker(&g_keptLock);
        if (const auto kept = g_kept.constFind(path); kept != g_kept.cend() && kept->stamp == *stamp) {
            if (unreadable)
                *unreadable = false;
            return kept->lines;
        }
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (unreadable)
            *unreadable = f.exists();
        return {};
    }
    if (unreadable)
        *unreadable = false;
    QList<QByteArray> lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    const QMutexLocker locker(&g_keptLock);
    const qint64 settledBefore = QDateTime::currentMSecsSinceEpoch() - 1000;
    if (stamp && qint64(stamp->modified.tv_sec) * 1000 + stamp->modified.tv_nsec / 1000000 < settledBefore)
        g_kept.insert(path, {*stamp, lines});
    else
        g_kept.remove(path);
    return lines;
}

// The raw value of section/key, or nothing when absent.
std::optional<QString> lookUp(const QString &path, const QString &section, const QString &key)
{
    bool inSection = false;
    for (const QByteArray &bytes : readLines(path)) {
        const QString line = QString::fromUtf8(bytes);
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
    QList<QByteArray> lines = readLines(strINIFileName, &unreadable);
    if (unreadable)
        return 0;
    const QByteArray entry = (strKey + u'=' + value).toUtf8();
    qsizetype sectionAt = -1;
    qsizetype insertAt = -1;
    bool written = false;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]);
        if (isSectionLine(line)) {
            if (inSection)
                break;
            inSection = sectionName(line).compare(strSection, Qt::CaseInsensitive) == 0;
            if (inSection) {
                sectionAt = i;
                insertAt = i + 1;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (keyOf(line).compare(strKey, Qt::CaseInsensitive) == 0) {
            // The file already says so: no rewrite (and no wait for the disk).
            if (lines[i] == entry)
                return 1;
            lines[i] = entry;
            written = true;
            break;
        }
        if (!line.trimmed().isEmpty())
            insertAt = i + 1;
    }
    if (!written) {
        if (sectionAt < 0) {
            if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
                lines << QByteArray();
            lines << (u'[' + strSection + u']').toUtf8() << entry;
        } else {
            lines.insert(insertAt, entry);
        }
    }

    QSaveFile out(strINIFileName);
    if (!out.open(QIODevice::WriteOnly))
        return 0;
    out.write(lines.join("\r\n") + "\r\n");
    return out.commit() ? 1 : 0;
}

} // namespace lumivox
