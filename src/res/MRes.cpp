#include "res/MRes.h"

#include "platform/FolderListing.h"
#include "platform/ProfileIni.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString HeaderSection = QStringLiteral("Header");

// Key groups in the order they are read: the captions and hints, then the messages.
struct CodeGroup
{
    const char* section;
    const char* prefix;
};
constexpr CodeGroup CodeGroups[] = {
    {"COMPONENTS", "C01"}, {"COMPONENTS", "C02"}, {"COMPONENTS", "C03"},
    {"COMPONENTS", "C04"}, {"COMPONENTS", "C05"}, {"MESSAGES", "R06"},
};

} // namespace

TMRes::TMRes(QString folder) : m_folders{std::move(folder)}
{}

TMRes::TMRes(QStringList folders) : m_folders(std::move(folders))
{}

std::vector<TMRes::LanguageFile> TMRes::ScanLanguageFiles() const
{
    std::vector<LanguageFile> files;
    // The last folder first: the last file of a description is the one taken.
    QFileInfoList entries;
    for (auto folder = m_folders.crbegin(); folder != m_folders.crend(); ++folder)
        entries += EntriesWithSuffix(QDir(*folder), u".lng", QDir::Files | QDir::Readable,
                                     QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& entry : entries) {
        // A name with "=" in it cannot be told apart from a key in a profile path; such a
        // file has never been readable, so it is no language.
        if (entry.fileName().contains(u'='))
            continue;
        // A file over the size limit would be read as an empty profile; it is no language
        // either, and costs no more than its listing.
        if (entry.size() > ProfileIni::MaxFileSize)
            continue;
        ProfileIni ini(entry.filePath());
        files.push_back(
            {entry.filePath(),
             ini.ReadString(HeaderSection, QStringLiteral("DISCRIPTION"), entry.fileName()),
             ini.ReadString(HeaderSection, QStringLiteral("LANGCODE"), entry.fileName())});
    }
    return files;
}

const TMRes::LanguageFile* TMRes::FindLast(const std::vector<LanguageFile>& files,
                                           const QString& description) const
{
    for (auto it = files.rbegin(); it != files.rend(); ++it)
        if (it->description == description)
            return &*it;
    return nullptr;
}

QStringList TMRes::ListLanguages() const
{
    QStringList descriptions;
    for (const LanguageFile& file : ScanLanguageFiles())
        if (!descriptions.contains(file.description))
            descriptions << file.description;
    return descriptions;
}

QString TMRes::CodeOfLanguage(const QString& description) const
{
    auto files = ScanLanguageFiles();
    const LanguageFile* file = FindLast(files, description);
    return file ? file->code : QString();
}

QString TMRes::FileOfLanguage(const QString& description) const
{
    auto files = ScanLanguageFiles();
    const LanguageFile* file = FindLast(files, description);
    return file ? file->path : QString();
}

bool TMRes::OpenLanguage(const QString& description)
{
    // The open language is not read again. With nothing open there is nothing to reuse: an
    // empty description must fail, not pass as "already open".
    if (!m_filePath.isEmpty() && description == m_description)
        return true;

    auto files = ScanLanguageFiles();
    const LanguageFile* file = FindLast(files, description);
    m_texts.clear();
    m_lookup.clear();
    if (!file || !QFileInfo::exists(file->path)) {
        m_filePath.clear();
        m_description.clear();
        m_langCode.clear();
        return false;
    }
    m_filePath = file->path;
    m_description = description;
    m_langCode = file->code;

    ProfileIni ini(m_filePath);
    for (const CodeGroup& group : CodeGroups) {
        const QString section = QLatin1String(group.section);
        for (int number = 0; number < 100; ++number) {
            QString code =
                QLatin1String(group.prefix) + QString::number(number).rightJustified(2, u'0');
            if (!ini.ValueExists(section, code))
                continue;
            QString text = ini.ReadString(section, code, QStringLiteral("(No Resource)"));
            m_texts.emplace_back(code, text);
            m_lookup.insert(code, text);
        }
    }
    return true;
}

QString TMRes::GetText(const QString& code) const
{
    auto it = m_lookup.constFind(code);
    QString text = it == m_lookup.constEnd() ? QStringLiteral("(NoData:") + code + u')' : *it;
    text.replace(QStringLiteral("\\n"), QStringLiteral("\r\n"));
    return text;
}

QString TextOr(const TMRes* res, const char* code, const QString& builtIn)
{
    if (!res)
        return builtIn;
    const QString key = QLatin1String(code);
    if (!res->HasText(key))
        return builtIn;
    return res->GetText(key);
}

QString ElidedName(const QString& name)
{
    if (name.size() <= MaxArgumentChars)
        return name;
    qsizetype head = MaxArgumentChars / 2;
    qsizetype tail = MaxArgumentChars - head - 1;
    // Never split a surrogate pair.
    if (name[head - 1].isHighSurrogate())
        --head;
    if (name[name.size() - tail].isLowSurrogate())
        --tail;
    return name.left(head) + QChar(0x2026) + name.right(tail);
}

QString FillText(const QString& text, std::initializer_list<QString> arguments)
{
    std::vector<QString> elided;
    for (const QString& argument : arguments)
        elided.push_back(ElidedName(argument));
    QString filled;
    qsizetype i = 0;
    for (; i < text.size() && filled.size() <= MaxFilledChars; ++i) {
        const qsizetype number =
            text[i] == u'%' && i + 1 < text.size() ? text[i + 1].digitValue() : -1;
        if (number >= 1 && number <= qsizetype(elided.size())) {
            filled += elided[number - 1];
            ++i;
        } else {
            filled += text[i];
        }
    }
    if (filled.size() > MaxFilledChars || i < text.size()) {
        filled.truncate(MaxFilledChars);
        if (filled.back().isHighSurrogate())
            filled.chop(1);
        filled += QChar(0x2026);
    }
    return filled;
}
