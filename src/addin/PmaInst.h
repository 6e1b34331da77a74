#pragma once

#include "log/DebugLog.h"

#include <QString>
#include <functional>
#include <memory>

class Dialogs;
class PackageInstallJob;
struct InstallResult;

// Installs one add-in package: asks, reads the package once into a private folder, takes its
// "pma.$$$" descriptor, moves the payload where its component belongs (a skin into "Skin", help
// pages into "help", resource files into the program folder), says how it went, and asks a
// running monitor over Local Talk to switch to a skin it installed.
class TPmaInst
{
public:
    // Shows the confirmation with the text given; true for OK.
    using Confirmation = std::function<bool(const QString& message)>;
    // Runs the job; the window's runner keeps the window drawing and offers Cancel. False when
    // the job was left running after a Cancel (its files may not answer for a long time): it
    // puts back what it wrote on its own once it stops.
    using Runner = std::function<bool(const std::shared_ptr<PackageInstallJob>& job)>;
    // A text of the language file by its code.
    using Texts = std::function<QString(const QString& code)>;

    TPmaInst(QString programFolder, Dialogs& dialogs, Confirmation confirm, TaggedLog log);

    // True when the user cancelled or the package was installed; false on any failure, which
    // has been shown in a box with its reason.
    bool Install(const QString& fileName);

    bool IsSkin = false;
    QString SkinName;
    // Where the running monitor listens.
    quint16 LocalTalkPort = 4830;
    // Unset: the job runs on the calling thread.
    Runner Run;
    // Unset, or without the code: the English text.
    Texts Text;

    QString ConfirmationText(const QString& fileName) const;

private:
    QString TextOf(const QString& code, const QString& english) const;
    void ShowFailure(const InstallResult& result, const QString& fileName) const;
    void HandOffSkin(const QString& entryName) const;

    QString m_programFolder;
    Dialogs& m_dialogs;
    Confirmation m_confirm;
    TaggedLog m_log;
};
