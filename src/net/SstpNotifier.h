#pragma once

#include "log/DebugLog.h"
#include "net/FastSstp.h"
#include "net/SstpMsg.h"

#include <QObject>
#include <QString>
#include <optional>

// What an event puts in place of the placeholders of its script.
struct TSstpPlaceholders
{
    std::optional<QString> PmSkin; // "%PMSKIN%"
    std::optional<QString> AsSkin; // "%ASSKIN%"
};

// The main window's side of SSTP: the script file, the client, and the sending of an event's
// script with every step in the log. Nothing is sent, and nothing logged, while the switch
// (the SstpSW setting, which the owner keeps) is off.
class TSstpNotifier : public QObject
{
    Q_OBJECT

public:
    TSstpNotifier(const bool& sstpSwitch, TaggedLog log, QObject* parent = nullptr);
    ~TSstpNotifier() override;

    TFastSstp& FSstp() { return m_sstp; }
    TSstpMsg& Msg() { return m_msg; }

    // The master file; the test dialog may switch to another for the rest of the run.
    QString SstpMasterFile;
    // What the start-up check found; empty when no host answered.
    QString SstpHostName;
    QString SstpHostVersion;

    // Loads the master file at start and writes its log line.
    bool LoadSstpScripts(const QString& masterFile);
    // Asks the host for its name and version (only with the switch on).
    bool CheckSstpConnection();

    void SendSstp(const QString& script, bool immediate);
    // Picks a script for the event, fills in its placeholders and sends it.
    void SendSstpEvent(const QString& event, const TSstpPlaceholders& placeholders = {},
                       bool immediate = false);
    // The test dialog's send: queued, with the switch on for the duration.
    void SendTestScript(const QString& script);
    // At shutdown: what is queued is dropped, and nothing is sent any more.
    void Shutdown();

    static QString FillPlaceholders(QString script, const TSstpPlaceholders& placeholders);

private:
    bool SwitchOn() const { return !m_shutDown && (m_forcedOn || m_switch); }

    const bool& m_switch;
    bool m_forcedOn = false;
    bool m_shutDown = false;
    TaggedLog m_log;
    TFastSstp m_sstp;
    TSstpMsg m_msg;
};
