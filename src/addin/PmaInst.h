#pragma once

#include "log/DebugLog.h"

#include <QString>
#include <functional>

class Dialogs;
class ProfileIni;
class TArchiveFile;

// Installs one add-in package: asks, checks the archive, reads its "pma.$$$" descriptor, unpacks
// the payload where its component belongs (a skin into "Skin", help pages into "help", other
// resources into the program folder), says how it went, and asks a running monitor over Local
// Talk to switch to a skin it installed.
class TPmaInst
{
public:
    // Shows the confirmation with the text given; true for OK.
    using Confirmation = std::function<bool(const QString& message)>;

    TPmaInst(QString programFolder, Dialogs& dialogs, Confirmation confirm, TaggedLog log);

    // True when the user cancelled or the package was installed; false on any failure, which
    // has been shown in a box.
    bool Install(const QString& fileName);

    bool IsSkin = false;
    QString SkinName;
    // Where the running monitor listens.
    quint16 LocalTalkPort = 4830;

    static QString ConfirmationText(const QString& fileName);

private:
    // Unpacks the payload where the descriptor's component says; false when it could not.
    bool Deploy(TArchiveFile& archive, const QString& fileName, const ProfileIni& descriptor);
    void HandOffSkin(const QString& entryName) const;

    QString m_programFolder;
    Dialogs& m_dialogs;
    Confirmation m_confirm;
    TaggedLog m_log;
};
