#pragma once

#include "platform/AtomicFile.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// An INI file read and written the way the Windows private profile functions do it: sections
// and keys compared without regard to case, the first match wins, values trimmed and cut at
// 2047 characters. Whatever the program does not touch (comments, blank lines, unknown
// sections and keys, the line ends) is written back as it was read. A changed key is updated
// in place, a new key goes to the end of its section and a new section to the end of the file.
// Saving replaces the file atomically. Every file format of the program reads through here.
class ProfileIni
{
public:
    static constexpr int MaxValueLength = 2047;
    // Far above any skin, language or script file; a larger file is not read at all.
    static constexpr qint64 MaxFileSize = qint64(1) << 20;

    ProfileIni() { LoadText({}); }
    // Reads the file; a missing, unreadable or too large file gives an empty profile.
    explicit ProfileIni(const QString& path);

    // Returns false when the file exists but cannot be read or is larger than maxBytes. A
    // missing file is not an error.
    bool Load(const QString& path, qint64 maxBytes = MaxFileSize);
    void LoadText(const QString& text);
    // The bytes of a file read by the caller, as Load takes them (UTF-8 or Shift_JIS).
    void LoadBytes(QByteArray bytes);
    const QString& Path() const { return m_path; }

    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;
    QStringList SectionNames() const;
    QStringList KeyNames(const QString& section) const;

    QString ReadString(const QString& section, const QString& key,
                       const QString& defaultValue = {}) const;
    // Decimal, or hexadecimal after "0x"; anything else gives the default.
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    qint64 ReadInt64(const QString& section, const QString& key, qint64 defaultValue) const;
    // Read as an integer: any number other than 0 is true.
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, qint64 value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void EraseSection(const QString& section);
    void DeleteKey(const QString& section, const QString& key);

    QByteArray ToBytes() const;
    void Save() const; // to Path(); throws EFileWriteError
    // throws EFileWriteError
    void SaveAs(const QString& path, FileAccess access = FileAccess::AsBefore) const;

    // Hexadecimal takes up to 32 bits and wraps ("0xFFFFFFFF" is -1), as the profile
    // functions read it; decimal must fit the type.
    static std::optional<int> ParseInteger(QStringView text);
    static std::optional<qint64> ParseInt64(QStringView text);

private:
    // A line is a range of the text as read, or a text of its own once written; its key and
    // value are ranges of that. Nothing is copied per line, so a large file costs its text and
    // a few words a line.
    struct Line
    {
        qsizetype begin = 0; // in m_text, or none when `own` names the line's own text
        int length = 0;
        int own = -1; // index into m_ownLines
        int keyBegin = 0;
        int keyLength = 0; // 0 for anything that is not a key line
        int valueBegin = 0;
        int valueLength = 0;
    };
    // A folded key's hash and its line, sorted, for lookups without a copy of every key.
    struct KeyRef
    {
        quint32 hash;
        int line;
        auto operator<=>(const KeyRef&) const = default;
    };
    struct Section
    {
        QString name;   // empty for the lines before the first section header
        Line header;    // empty for the lines before the first section header
        std::vector<Line> lines;
        std::vector<KeyRef> keys;
    };

    static QString Fold(const QString& text) { return text.toCaseFolded(); }
    static quint32 KeyHash(QStringView key);
    QStringView Text(const Line& line) const;
    QStringView KeyOf(const Line& line) const { return Text(line).mid(line.keyBegin, line.keyLength); }
    Line OwnLine(const QString& text);
    void SetOwnText(Line& line, const QString& text);
    static void ParseLine(QStringView raw, Line& line);
    void AddSection(Section section);
    void IndexKeys(Section& section) const;
    void ReindexSections();
    const Section* FindSection(const QString& name) const;
    Section* FindSection(const QString& name);
    int FindLineIndex(const Section& section, QStringView key) const;
    const Line* FindLine(const QString& section, const QString& key) const;
    template <class Sink> void WriteText(Sink&& sink) const;

    QString m_path;
    QString m_text;           // the text as read
    QStringList m_ownLines;   // the texts of lines written since
    std::vector<Section> m_sections; // [0] holds the lines before the first header
    QHash<QString, int> m_sectionIndex;
    QString m_lineEnd = QStringLiteral("\r\n");
    bool m_hadBom = false;
    bool m_endsWithLineEnd = true;
};
