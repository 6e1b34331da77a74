#include "platform/ProfileIni.h"

#include "platform/AtomicFile.h"
#include "platform/FileRead.h"
#include "platform/TextDecoding.h"

#include <QFile>
#include <algorithm>
#include <limits>

namespace {

QStringView StripQuotes(QStringView value)
{
    if (value.size() >= 2) {
        QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

// A value that holds a line break would split into two lines of the file.
QString OneLine(const QString& value)
{
    QString line = value;
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    return line;
}

int Offset(QStringView part, QStringView whole)
{
    return static_cast<int>(part.data() - whole.data());
}

} // namespace

ProfileIni::ProfileIni(const QString& path)
{
    Load(path);
}

bool ProfileIni::Load(const QString& path, qint64 maxBytes)
{
    m_path = path;
    FileRead read = ReadFileUpTo(path, maxBytes);
    if (read.Status != FileRead::Result::Read) {
        LoadText({});
        return read.Status == FileRead::Result::Missing;
    }
    LoadBytes(std::move(read.Bytes));
    return true;
}

void ProfileIni::LoadBytes(QByteArray bytes)
{
    const bool hadBom = bytes.startsWith("\xEF\xBB\xBF");
    const QString text = DecodeText(bytes);
    // The bytes go before the lines are laid out: a large file is held once at a time.
    bytes = QByteArray();
    LoadText(text);
    m_hadBom = hadBom;
}

void ProfileIni::LoadText(const QString& text)
{
    m_text = text;
    m_ownLines.clear();
    m_sections.clear();
    m_sectionIndex.clear();
    m_hadBom = false;
    m_lineEnd = text.contains(u'\n') && !text.contains(QStringLiteral("\r\n"))
                    ? QStringLiteral("\n")
                    : QStringLiteral("\r\n");
    m_endsWithLineEnd = text.isEmpty() || text.endsWith(u'\n');

    const QStringView all(m_text);
    Section current;
    for (qsizetype at = 0; at < all.size() || (at == all.size() && !m_endsWithLineEnd);) {
        qsizetype newline = all.indexOf(u'\n', at);
        if (newline < 0)
            newline = all.size();
        Line line;
        line.begin = at;
        qsizetype length = newline - at;
        if (length > 0 && all[newline - 1] == u'\r')
            --length;
        line.length = static_cast<int>(length);
        at = newline + 1;
        const QStringView raw = all.mid(line.begin, length);
        const QStringView trimmed = raw.trimmed();
        if (trimmed.startsWith(u'[')) {
            AddSection(std::move(current));
            current = Section();
            const qsizetype close = trimmed.indexOf(u']');
            current.name =
                (close < 0 ? trimmed.mid(1) : trimmed.mid(1, close - 1)).trimmed().toString();
            current.header = line;
            continue;
        }
        ParseLine(raw, line);
        current.lines.push_back(line);
    }
    AddSection(std::move(current));
}

QStringView ProfileIni::Text(const Line& line) const
{
    if (line.own >= 0)
        return m_ownLines[line.own];
    return QStringView(m_text).mid(line.begin, line.length);
}

ProfileIni::Line ProfileIni::OwnLine(const QString& text)
{
    Line line;
    SetOwnText(line, text);
    return line;
}

void ProfileIni::SetOwnText(Line& line, const QString& text)
{
    if (line.own < 0) {
        line.own = static_cast<int>(m_ownLines.size());
        m_ownLines.append(text);
    } else {
        m_ownLines[line.own] = text;
    }
    line.begin = 0;
    line.length = static_cast<int>(text.size());
}

void ProfileIni::ParseLine(QStringView raw, Line& line)
{
    const QStringView trimmed = raw.trimmed();
    if (trimmed.startsWith(u';'))
        return;
    const qsizetype eq = trimmed.indexOf(u'=');
    if (eq <= 0)
        return;
    const QStringView key = trimmed.left(eq).trimmed();
    const QStringView value = StripQuotes(trimmed.mid(eq + 1).trimmed()).left(MaxValueLength);
    line.keyBegin = Offset(key, raw);
    line.keyLength = static_cast<int>(key.size());
    line.valueBegin = Offset(value, raw);
    line.valueLength = static_cast<int>(value.size());
}

quint32 ProfileIni::KeyHash(QStringView key)
{
    return static_cast<quint32>(qHash(key.toString().toCaseFolded()));
}

void ProfileIni::AddSection(Section section)
{
    // The lines before the first header always take slot 0, even when there are none.
    if (m_sections.empty() && !section.name.isEmpty())
        m_sections.emplace_back();
    IndexKeys(section);
    QString folded = Fold(section.name);
    if (!m_sections.empty() && !m_sectionIndex.contains(folded))
        m_sectionIndex.insert(folded, static_cast<int>(m_sections.size()));
    m_sections.push_back(std::move(section));
}

void ProfileIni::IndexKeys(Section& section) const
{
    section.keys.clear();
    for (size_t i = 0; i < section.lines.size(); ++i)
        if (section.lines[i].keyLength > 0)
            section.keys.push_back({KeyHash(KeyOf(section.lines[i])), static_cast<int>(i)});
    std::sort(section.keys.begin(), section.keys.end());
}

void ProfileIni::ReindexSections()
{
    m_sectionIndex.clear();
    for (int i = 1; i < static_cast<int>(m_sections.size()); ++i) {
        QString folded = Fold(m_sections[static_cast<size_t>(i)].name);
        if (!m_sectionIndex.contains(folded))
            m_sectionIndex.insert(folded, i);
    }
}

const ProfileIni::Section* ProfileIni::FindSection(const QString& name) const
{
    auto it = m_sectionIndex.constFind(Fold(name.trimmed()));
    return it == m_sectionIndex.constEnd() ? nullptr : &m_sections[static_cast<size_t>(*it)];
}

ProfileIni::Section* ProfileIni::FindSection(const QString& name)
{
    return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

int ProfileIni::FindLineIndex(const Section& section, QStringView key) const
{
    // Sorted by hash and then by line, so the first that matches is the first in the file.
    const quint32 hash = KeyHash(key);
    for (auto it = std::lower_bound(section.keys.begin(), section.keys.end(), KeyRef{hash, -1});
         it != section.keys.end() && it->hash == hash; ++it)
        if (KeyOf(section.lines[static_cast<size_t>(it->line)]).compare(key, Qt::CaseInsensitive) == 0)
            return it->line;
    return -1;
}

const ProfileIni::Line* ProfileIni::FindLine(const QString& section, const QString& key) const
{
    const Section* found = FindSection(section);
    if (!found)
        return nullptr;
    const int index = FindLineIndex(*found, QStringView(key).trimmed());
    return index < 0 ? nullptr : &found->lines[static_cast<size_t>(index)];
}

bool ProfileIni::SectionExists(const QString& section) const
{
    return FindSection(section) != nullptr;
}

bool ProfileIni::ValueExists(const QString& section, const QString& key) const
{
    return FindLine(section, key) != nullptr;
}

QStringList ProfileIni::SectionNames() const
{
    QStringList names;
    for (size_t i = 1; i < m_sections.size(); ++i)
        names << m_sections[i].name;
    return names;
}

QStringList ProfileIni::KeyNames(const QString& section) const
{
    QStringList names;
    if (const Section* found = FindSection(section)) {
        for (const Line& line : found->lines)
            if (line.keyLength > 0)
                names << KeyOf(line).toString();
    }
    return names;
}

QString ProfileIni::ReadString(const QString& section, const QString& key,
                               const QString& defaultValue) const
{
    const Line* line = FindLine(section, key);
    return line ? Text(*line).mid(line->valueBegin, line->valueLength).toString()
                : defaultValue.left(MaxValueLength);
}

std::optional<qint64> ProfileIni::ParseInt64(QStringView text)
{
    QStringView t = text.trimmed();
    bool ok = false;
    if (t.startsWith(u"0x", Qt::CaseInsensitive)) {
        QStringView digits = t.mid(2);
        if (digits.isEmpty() || digits.size() > 8 || digits.startsWith(u'-') ||
            digits.startsWith(u'+'))
            return std::nullopt;
        uint value = digits.toUInt(&ok, 16);
        return ok ? std::optional<qint64>(static_cast<int>(value)) : std::nullopt;
    }
    qint64 value = t.toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

std::optional<int> ProfileIni::ParseInteger(QStringView text)
{
    std::optional<qint64> value = ParseInt64(text);
    if (!value || *value < std::numeric_limits<int>::min() ||
        *value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*value);
}

int ProfileIni::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    const Line* line = FindLine(section, key);
    if (!line)
        return defaultValue;
    return ParseInteger(Text(*line).mid(line->valueBegin, line->valueLength))
        .value_or(defaultValue);
}

qint64 ProfileIni::ReadInt64(const QString& section, const QString& key, qint64 defaultValue) const
{
    const Line* line = FindLine(section, key);
    if (!line)
        return defaultValue;
    return ParseInt64(Text(*line).mid(line->valueBegin, line->valueLength)).value_or(defaultValue);
}

bool ProfileIni::ReadBool(const QString& section, const QString& key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileIni::WriteString(const QString& section, const QString& key, const QString& value)
{
    const QString cleanKey = OneLine(key.trimmed());
    const QString cleanValue = OneLine(value);
    Section* target = FindSection(section);
    if (!target) {
        Section added;
        added.name = OneLine(section.trimmed());
        added.header = OwnLine(QLatin1Char('[') + added.name + QLatin1Char(']'));
        // Keep a blank line between the last section and the new one.
        const Section& last = m_sections.back();
        bool lastIsBlank = last.lines.empty() ? Text(last.header).isEmpty()
                                              : Text(last.lines.back()).trimmed().isEmpty();
        if (!lastIsBlank)
            m_sections.back().lines.push_back(OwnLine(QString()));
        AddSection(std::move(added));
        target = &m_sections.back();
    }

    // The value as written, without the quotes a file's value may have around it.
    const QStringView trimmedValue = QStringView(cleanValue).trimmed();
    const auto setValue = [&](Line& line, const QString& keyText) {
        SetOwnText(line, keyText + QLatin1Char('=') + cleanValue);
        line.keyBegin = 0;
        line.keyLength = static_cast<int>(keyText.size());
        line.valueBegin = line.keyLength + 1 + Offset(trimmedValue, cleanValue);
        line.valueLength = static_cast<int>(std::min<qsizetype>(trimmedValue.size(), MaxValueLength));
    };

    const int existing = FindLineIndex(*target, cleanKey);
    if (existing >= 0) {
        Line& line = target->lines[static_cast<size_t>(existing)];
        setValue(line, KeyOf(line).toString());
        return;
    }

    // A new key goes right after the last key of its section, ahead of trailing blank lines.
    size_t insertAt = 0;
    for (size_t i = 0; i < target->lines.size(); ++i)
        if (target->lines[i].keyLength > 0)
            insertAt = i + 1;
    Line line;
    setValue(line, cleanKey);
    target->lines.insert(target->lines.begin() + static_cast<std::ptrdiff_t>(insertAt), line);
    // The lines after it moved down by one.
    for (KeyRef& ref : target->keys)
        if (ref.line >= static_cast<int>(insertAt))
            ++ref.line;
    const KeyRef added{KeyHash(cleanKey), static_cast<int>(insertAt)};
    target->keys.insert(std::upper_bound(target->keys.begin(), target->keys.end(), added), added);
}

void ProfileIni::WriteInteger(const QString& section, const QString& key, qint64 value)
{
    WriteString(section, key, QString::number(value));
}

void ProfileIni::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void ProfileIni::EraseSection(const QString& section)
{
    const QString folded = Fold(section.trimmed());
    std::erase_if(m_sections,
                  [&](const Section& s) { return !s.name.isEmpty() && Fold(s.name) == folded; });
    ReindexSections();
}

void ProfileIni::DeleteKey(const QString& section, const QString& key)
{
    Section* target = FindSection(section);
    if (!target)
        return;
    const QString trimmedKey = key.trimmed();
    std::erase_if(target->lines, [&](const Line& l) {
        return l.keyLength > 0 && KeyOf(l).compare(trimmedKey, Qt::CaseInsensitive) == 0;
    });
    IndexKeys(*target);
}

template <class Sink> void ProfileIni::WriteText(Sink&& sink) const
{
    // Converted a piece at a time: a large file is never held twice over as it is written.
    constexpr qsizetype PieceSize = 32 * 1024;
    if (m_hadBom)
        sink(QByteArray("\xEF\xBB\xBF"));
    QString piece;
    bool first = true;
    const auto append = [&](QStringView line) {
        if (!first)
            piece += m_lineEnd;
        piece += line;
        first = false;
        if (piece.size() >= PieceSize) {
            sink(piece.toUtf8());
            piece.resize(0);
        }
    };
    for (size_t i = 0; i < m_sections.size(); ++i) {
        const Section& section = m_sections[i];
        if (i > 0)
            append(Text(section.header));
        for (const Line& line : section.lines)
            append(Text(line));
    }
    if (!first && m_endsWithLineEnd)
        piece += m_lineEnd;
    sink(piece.toUtf8());
}

QByteArray ProfileIni::ToBytes() const
{
    QByteArray bytes;
    WriteText([&bytes](const QByteArray& piece) { bytes += piece; });
    return bytes;
}

void ProfileIni::Save() const
{
    SaveAs(m_path);
}

void ProfileIni::SaveAs(const QString& path, FileAccess access) const
{
    AtomicFileWriter writer(path, access);
    WriteText([&writer](const QByteArray& piece) { writer.Write(piece); });
    writer.Commit();
}
