#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <utility>
#include <vector>

// The language table: user-interface texts by code ("C" + four digits for captions and hints,
// "R06" + two digits for messages) from the "*.lng" files of the program folder. A language is
// known everywhere by its description (the "DISCRIPTION" key of the file's header).
class TMRes
{
public:
    explicit TMRes(QString folder);
    // Language files from several folders; a file of a folder named first wins over one of the
    // same description in a later folder.
    explicit TMRes(QStringList folders);

    // Descriptions of every language file, in the order of the folder listing.
    QStringList ListLanguages() const;
    QString CodeOfLanguage(const QString& description) const;
    QString FileOfLanguage(const QString& description) const;
    bool OpenLanguage(const QString& description);
    QString GetText(const QString& code) const;
    bool HasText(const QString& code) const { return m_lookup.contains(code); }

    const QString& FilePath() const { return m_filePath; }
    const QString& Description() const { return m_description; }
    const QString& LangCode() const { return m_langCode; }
    // The texts of the open language as code and raw value, in the order they were read.
    const std::vector<std::pair<QString, QString>>& Texts() const { return m_texts; }

private:
    struct LanguageFile
    {
        QString path;
        QString description;
        QString code;
    };
    std::vector<LanguageFile> ScanLanguageFiles() const;
    const LanguageFile* FindLast(const std::vector<LanguageFile>& files,
                                 const QString& description) const;

    QStringList m_folders;
    QString m_filePath;
    QString m_description;
    QString m_langCode;
    std::vector<std::pair<QString, QString>> m_texts;
    QHash<QString, QString> m_lookup;
};

// The text of a code in the open language, or the program's own wording where there is no
// language (a package installed from the command line comes before any) or the open file
// lacks the code. Line breaks come as CR LF, as from GetText.
QString TextOr(const TMRes* res, const char* code, const QString& builtIn);

// A language text with "%1" to "%9" filled in from `arguments`. A language file is outside
// input: however many markers it holds, the whole stops at MaxFilledChars, and each argument
// (a package or file name) longer than MaxArgumentChars keeps its start and end around an
// ellipsis, so no box grows to megabytes that freeze the window while it is laid out.
inline constexpr qsizetype MaxFilledChars = 4096;
inline constexpr qsizetype MaxArgumentChars = 240;
QString FillText(const QString& text, std::initializer_list<QString> arguments);
// A name shortened to MaxArgumentChars around an ellipsis, as FillText puts it in.
QString ElidedName(const QString& name);
