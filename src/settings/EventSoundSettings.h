#pragma once

#include <QString>

// Event sound switches and files, section "Pulsmir2_EventSound" of the settings file.
struct TEventSoundSettings
{
    bool Enable = false;
    bool Mute = false;
    QString pOFF;
    QString pON;
    QString pPING;
    QString pSTART;
    QString pSKIN;
    QString pMEM;
    QString pRES;
};
