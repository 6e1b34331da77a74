#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class Dialogs;
class TAActiveCtrl;
class TFltCtrl;
class TMRes;
struct TSettings;

// What a mode change does: the new mode, the log lines, the caption of the mode item and the
// SSTP event.
struct TModeChange
{
    bool Changed = false;
    int SkinMode = 0; // 0 compact, 1 full
    QStringList LogLines;
    QString CaptionCode; // "C0101" in full mode (offers compact), "C0100" in compact mode
    QString SstpEvent;   // empty when none is to be sent
};

// mModeChange: to the other mode when the skin has it. byUser: a menu item or a double click
// (the auto-active thread's switch sends no event). The event reports a change that happened,
// so a skin without the other mode sends none.
TModeChange SkinModeChange(int skinMode, bool hasCompact, bool hasFull, bool byUser);

// Whether the window floats: switched on and allowed by the skin in the current mode.
bool FloatActive(bool floatSW, int skinMode, bool compactFloat, bool fullFloat);

// The threads' part of ApplySettings. A floating interval below 1 switches floating off
// before the thread is told whether to float.
void ApplyWindowThreadSettings(TSettings& settings, bool skinAllowsFloat, TFltCtrl& floating,
                               TAActiveCtrl& autoActive);

// The help command: the program folder's "help/index.html" (its edition in the open language,
// "help/index.ja.html", where there is one), or after the "R0624" question the web page. True when the local help was opened (the "ShowHelp" event follows).
bool ShowHelp(const QString& programFolder, const QUrl& webPage, Dialogs& dialogs, const TMRes& res,
              const std::function<bool(const QUrl&)>& openUrl);
