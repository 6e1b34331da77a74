#include "net/SstpNotifier.h"

#include <exception>

TSstpNotifier::TSstpNotifier(const bool& sstpSwitch, TaggedLog log, QObject* parent)
    : QObject(parent), m_switch(sstpSwitch), m_log(std::move(log))
{
    m_sstp.SstpSender = QStringLiteral("Pulsmir II");
    m_sstp.SetInterval(1000);
    m_sstp.TimeOut = 1000;
    m_sstp.ReportLevel = 0;
    m_sstp.Log = m_log;
    m_sstp.Loaded();
}

TSstpNotifier::~TSstpNotifier() = default;

bool TSstpNotifier::LoadSstpScripts(const QString& masterFile)
{
    SstpMasterFile = masterFile;
    const bool loaded = m_msg.LoadFromFile(SstpMasterFile);
    m_log(loaded ? QStringLiteral("SSTP File Load SUCCESSFUL")
                 : QStringLiteral("SSTP File Load FAILED!"));
    return loaded;
}

bool TSstpNotifier::CheckSstpConnection()
{
    if (!SwitchOn())
        return false;
    bool found = false;
    QString name;
    QString version;
    const auto errorLine = [](TSstpResult result) {
        return result == TSstpResult::srUnknown ? QStringLiteral(".:.:. >> SSTP Connection Error")
                                                : QStringLiteral(".:.:. >> SSTP Internal Error");
    };
    try {
        m_log(QStringLiteral(".:.:. Checking SSTP Connection..."));
        m_log(QStringLiteral(".:.:. >> EXECUTE SstpExGetName"));
        name = m_sstp.SstpExGetName();
        const TSstpResult result = m_sstp.LastResult();
        if (result == TSstpResult::sr200) {
            found = true;
            m_log(QStringLiteral(".:.:. >> Host Name :") + name);
            m_log(QStringLiteral(".:.:. >> EXECUTE SstpExGetVersion"));
            version = m_sstp.SstpExGetVersion();
            const TSstpResult versionResult = m_sstp.LastResult();
            if (versionResult == TSstpResult::sr200)
                m_log(QStringLiteral(".:.:. >> Host Ver. :") + version);
            else {
                m_log(errorLine(versionResult));
                version.clear();
            }
        } else {
            m_log(errorLine(result));
            name.clear();
        }
    } catch (const std::exception&) {
        m_log(QStringLiteral(".:.:. SSTP Access Error!"));
    }
    SstpHostName = name;
    SstpHostVersion = version;
    return found;
}

void TSstpNotifier::SendSstp(const QString& script, bool immediate)
{
    if (!SwitchOn() || script.isEmpty())
        return;
    try {
        m_log(QStringLiteral(".:.:. SSTP Sending :") + script);
        m_sstp.SstpExQuiet(true);
        m_sstp.EnqueueScript(script, immediate, SstpOption::NoDescript);
        m_log(QStringLiteral(".:.:. SSTP Result Code :") +
              QString::number(m_sstp.LastStatusCode()));
        m_sstp.SstpExQuiet(false);
    } catch (const std::exception&) {
        m_log(QStringLiteral(".:.:. SSTP Sock Error!"));
    }
}

void TSstpNotifier::SendSstpEvent(const QString& event, const TSstpPlaceholders& placeholders,
                                  bool immediate)
{
    if (!SwitchOn())
        return;
    const QString script = m_msg.GetScript(event);
    if (!script.isEmpty())
        SendSstp(FillPlaceholders(script, placeholders), immediate);
}

void TSstpNotifier::SendTestScript(const QString& script)
{
    const bool wasForced = m_forcedOn;
    m_forcedOn = true;
    SendSstp(script, false);
    m_forcedOn = wasForced;
}

void TSstpNotifier::Shutdown()
{
    m_shutDown = true;
    m_sstp.ClearQueue();
}

QString TSstpNotifier::FillPlaceholders(QString script, const TSstpPlaceholders& placeholders)
{
    if (placeholders.PmSkin)
        script.replace(QStringLiteral("%PMSKIN%"), *placeholders.PmSkin, Qt::CaseInsensitive);
    if (placeholders.AsSkin)
        script.replace(QStringLiteral("%ASSKIN%"), *placeholders.AsSkin, Qt::CaseInsensitive);
    return script;
}
