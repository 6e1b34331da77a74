#include "platform/ProfileIni.h"

#include "platform/AtomicFile.h"
#include "platform/FileRead.h"
#include "platform/TextDecoding.h"

#include <QFile>
#include <limits>

namespace {

QString StripQuotes(const QString& value)
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

} // namespace

ProfileIni::ProfileIni(const QString& path)
{
    Load(path);
}

bool ProfileIni::Load(const QString& path, qint64 maxBytes)
{
    m_path = path;
    const FileRead read = ReadFileUpTo(path, maxBytes);
    if (read.Status != FileRead::Result::Read) {
        LoadText({});
        return read.Status == FileRead::Result::Missing;
    }
    LoadBytes(read.Bytes);
    return true;
}

void ProfileIni::LoadBytes(const QByteArray& bytes)
{
    const bool hadBom = bytes.startsWith("\xEF\xBB\xBF");
    LoadText(DecodeText(bytes));
    m_hadBom = hadBom;
}

void ProfileIni::LoadText(const QString& text)
{
    m_sections.clear();
    m_sectionIndex.clear();
    m_lineEnd = text.contains(u'\n') && !text.contains(QStringLiteral("\r\n"))
                    ? QStringLiteral("\n")
                    : QStringLiteral("\r\n");
    m_endsWithLineEnd = text.isEmpty() || text.endsWith(u'\n');

    QStringList rawLines = text.split(u'\n');
    if (m_endsWithLineEnd)
        rawLines.removeLast();

    Section current;
    for (QString& raw : rawLines) {
        if (raw.endsWith(u'\r'))
            raw.chop(1);
        QString trimmed = raw.trimmed();
        if (trimmed.startsWith(u'[')) {
            AddSection(std::move(current));
            current = Section();
            qsizetype close = trimmed.indexOf(u']');
            current.name = (close < 0 ? trimmed.mid(1) : trimmed.mid(1, close - 1)).trimmed();
            current.header = raw;
            continue;
        }
        current.lines.push_back(ParseLine(raw));
    }
    AddSection(std::move(current));
}

ProfileIni::Line ProfileIni::ParseLine(const QString& raw)
{
    Line line{raw, {}, {}};
    QString trimmed = raw.trimmed();
    if (trimmed.startsWith(u';'))
        return line;
    qsizetype eq = trimmed.indexOf(u'=');
    if (eq <= 0)
        return line;
    line.key = trimmed.left(eq).trimmed();
    line.value = StripQuotes(trimmed.mid(eq + 1).trimmed()).left(MaxValueLength);
    return line;
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
    // Walk backwards so that the first of two equal keys is the one left in the index.
    section.keyIndex.clear();
    for (int i = static_cast<int>(section.lines.size()) - 1; i >= 0; --i) {
        const Line& line = section.lines[static_cast<size_t>(i)];
        if (!line.key.isEmpty())
            section.keyIndex.insert(Fold(line.key), i);
    }
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

const ProfileIni::Line* ProfileIni::FindLine(const QString& section, const QString& key) const
{
    const Section* found = FindSection(section);
    if (!found)
        return nullptr;
    auto it = found->keyIndex.constFind(Fold(key.trimmed()));
    return it == found->keyIndex.constEnd() ? nullptr : &found->lines[static_cast<size_t>(*it)];
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
            if (!line.key.isEmpty())
                names << line.key;
    }
    return names;
}

QString ProfileIni::ReadString(const QString& section, const QString& key,
                               const QString& defaultValue) const
{
    const Line* line = FindLine(section, key);
    return line ? line->value : defaultValue.left(MaxValueLength);
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
    return ParseInteger(line->value).value_or(defaultValue);
}

qint64 ProfileIni::ReadInt64(const QString& section, const QString& key, qint64 defaultValue) const
{
    const Line* line = FindLine(section, key);
    if (!line)
        return defaultValue;
    return ParseInt64(line->value).value_or(defaultValue);
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
        added.header = QLatin1Char('[') + added.name + QLatin1Char(']');
        // Keep a blank line between the last section and the new one.
        const Section& last = m_sections.back();
        bool lastIsBlank =
            last.lines.empty() ? last.header.isEmpty() : last.lines.back().raw.trimmed().isEmpty();
        if (!lastIsBlank)
            m_sections.back().lines.push_back(Line{});
        AddSection(std::move(added));
        target = &m_sections.back();
    }

    auto it = target->keyIndex.constFind(Fold(cleanKey));
    if (it != target->keyIndex.constEnd()) {
        Line& line = target->lines[static_cast<size_t>(*it)];
        line.value = cleanValue.trimmed().left(MaxValueLength);
        line.raw = line.key + QLatin1Char('=') + cleanValue;
        return;
    }

    // A new key goes right after the last key of its section, ahead of trailing blank lines.
    size_t insertAt = 0;
    for (size_t i = 0; i < target->lines.size(); ++i)
        if (!target->lines[i].key.isEmpty())
            insertAt = i + 1;
    Line line{cleanKey + QLatin1Char('=') + cleanValue, cleanKey,
              cleanValue.trimmed().left(MaxValueLength)};
    target->lines.insert(target->lines.begin() + static_cast<std::ptrdiff_t>(insertAt), line);
    IndexKeys(*target);
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
    const QString folded = Fold(key.trimmed());
    std::erase_if(target->lines,
                  [&](const Line& l) { return !l.key.isEmpty() && Fold(l.key) == folded; });
    IndexKeys(*target);
}

QByteArray ProfileIni::ToBytes() const
{
    QString text;
    bool first = true;
    auto append = [&](const QString& line) {
        if (!first)
            text += m_lineEnd;
        text += line;
        first = false;
    };
    for (size_t i = 0; i < m_sections.size(); ++i) {
        const Section& section = m_sections[i];
        if (i > 0)
            append(section.header);
        for (const Line& line : section.lines)
            append(line.raw);
    }
    if (!first && m_endsWithLineEnd)
        text += m_lineEnd;
    QByteArray bytes = text.toUtf8();
    if (m_hadBom)
        bytes.prepend("\xEF\xBB\xBF");
    return bytes;
}

void ProfileIni::Save() const
{
    SaveAs(m_path);
}

void ProfileIni::SaveAs(const QString& path) const
{
    WriteFileAtomically(path, ToBytes());
}
