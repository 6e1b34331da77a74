#pragma once

#include "settings/Settings.h"

#include <QStringList>
#include <optional>
#include <utility>

class AppPaths;
class Dialogs;
class TMRes;

// The speed ranges the user picks when the settings come from an older generation.
struct SpeedRangeChoice
{
    int DRange = 0;
    int NRange = 0;
    qint64 DRangeV = 0;
    qint64 NRangeV = 0;
};

// Asks for the disk and network speed ranges (the speed range dialog); nothing when cancelled.
class SpeedRangeAsker
{
public:
    virtual ~SpeedRangeAsker() = default;
    // `language` is the settings' language (empty at a first start).
    virtual std::optional<SpeedRangeChoice> AskSpeedRange(const SpeedRangeChoice& current,
                                                          const QString& language) = 0;
};

// Asks through the speed range dialog. It comes while the settings load, before any language
// is: it speaks the settings' language or, at a first start, the one the user's locale
// (`lcid`) is going to choose, from the language files of `languageFolders`.
class SpeedRangeDialogAsker : public SpeedRangeAsker
{
public:
    SpeedRangeDialogAsker(Dialogs& dialogs, QStringList languageFolders, unsigned lcid)
        : m_dialogs(dialogs), m_languageFolders(std::move(languageFolders)), m_lcid(lcid)
    {}
    std::optional<SpeedRangeChoice> AskSpeedRange(const SpeedRangeChoice& current,
                                                  const QString& language) override;

private:
    static qint64 FullScaleKib(qint64 bytes);
    Dialogs& m_dialogs;
    QStringList m_languageFolders;
    unsigned m_lcid;
};

// The settings file "Pulsmir.ini" in the program folder, or "Pulsmir_" + digit + ".ini" for an
// instance that watches one physical drive ("/D:" digit): that one is loaded when it exists
// and always written, so each drive's instance keeps its own settings after its first exit. A
// named instance ("--instance NAME") has "Pulsmir-" + NAME + ".ini" the same way.
class TSettingsFile
{
public:
    TSettingsFile(const AppPaths& paths, int targetDrive, QString instanceName = {});

    QString LoadPath() const;
    // The language the settings name, read without the rest (for boxes shown before the
    // window loads the settings); empty when none is named.
    QString ChosenLanguage() const;
    // The source of figures the settings name (the Source keys only), read the same way: the
    // window makes its measurement before it loads the settings.
    TSettings ChosenSource() const;
    QString SavePath() const;

    // Creates the file with its default content when it is missing, removes the section of
    // the older generation (after a warning box), reads every key and applies the load rules.
    // `res` supplies the warning's text; `askSpeedRange` may be null, which counts as cancel.
    // With `writeFiles` off nothing on disk changes: a missing file reads as the default
    // content and an older section is reported but stays.
    TSettings Load(Dialogs& dialogs, TMRes& res, SpeedRangeAsker* askSpeedRange,
                   bool writeFiles = true) const;

    // Writes every key; throws EFileWriteError. The file is replaced whole, never torn; one
    // that names a token or password file is readable by its owner only.
    void Save(const TSettings& settings) const;

    static const char* const DefaultContent;

private:
    const AppPaths& m_paths;
    int m_targetDrive;
    QString m_instanceName;
};
