#include "net/SstpMsg.h"

#include "platform/ProfileIni.h"

#include <QDateTime>
#include <QFileInfo>
#include <algorithm>

namespace {

// Events without scripts of their own take those of another section.
QString FallbackEvent(const QString& event)
{
    if (event == QLatin1String("ChangeAlphaA") || event == QLatin1String("ChangeAlphaB"))
        return QStringLiteral("ChangeAlpha");
    return {};
}

} // namespace

const QStringList& TSstpMsg::EventNames()
{
    static const QStringList names = {
        QStringLiteral("Start"),        QStringLiteral("ChangeSkin"),
        QStringLiteral("SkinInstall"),  QStringLiteral("NoSkinA"),
        QStringLiteral("NoSkinB"),      QStringLiteral("ChangeModeA"),
        QStringLiteral("ChangeModeB"),  QStringLiteral("ChangeModeC"),
        QStringLiteral("ChangeFloatA"), QStringLiteral("ChangeFloatB"),
        QStringLiteral("ChangeAlpha"),  QStringLiteral("ChangeAlphaA"),
        QStringLiteral("ChangeAlphaB"), QStringLiteral("PingResultA"),
        QStringLiteral("PingResultB"),  QStringLiteral("ShowHelp"),
        QStringLiteral("UserExitA"),    QStringLiteral("UserExitB"),
        QStringLiteral("UserExitC")};
    return names;
}

TSstpMsg::TSstpMsg() : TSstpMsg(static_cast<std::uint32_t>(QDateTime::currentMSecsSinceEpoch()))
{}

TSstpMsg::TSstpMsg(std::uint32_t seed) : m_random(seed)
{}

bool TSstpMsg::LoadFromFile(const QString& fileName)
{
    m_scripts.clear();
    m_counts.clear();
    if (!QFileInfo(fileName).isFile())
        return false;
    ProfileIni ini;
    if (!ini.Load(fileName))
        return false;
    for (const QString& event : EventNames()) {
        int count = 0;
        if (ini.SectionExists(event)) {
            for (int type = 1; type <= TypesPerEvent; ++type) {
                const QString script = ini.ReadString(event, QStringLiteral("Type%1").arg(type));
                if (!script.isEmpty())
                    m_scripts.emplace_back(event + QString::number(++count), script);
            }
        }
        m_counts.emplace_back(event, count);
    }
    return true;
}

QString TSstpMsg::GetScript(const QString& event)
{
    const int count = Count(event);
    if (count < 1) {
        const QString fallback = FallbackEvent(event);
        return fallback.isEmpty() ? QString() : GetScript(fallback);
    }
    std::uniform_int_distribution<int> pick(1, count);
    return Script(event, pick(m_random));
}

QStringList TSstpMsg::CountNames() const
{
    QStringList names;
    for (const auto& [name, count] : m_counts)
        names << name;
    return names;
}

int TSstpMsg::Count(const QString& event) const
{
    const auto it = std::find_if(m_counts.begin(), m_counts.end(),
                                 [&event](const auto& entry) { return entry.first == event; });
    return it == m_counts.end() ? 0 : it->second;
}

QString TSstpMsg::Script(const QString& event, int number) const
{
    const QString name = event + QString::number(number);
    const auto it = std::find_if(m_scripts.begin(), m_scripts.end(),
                                 [&name](const auto& entry) { return entry.first == name; });
    return it == m_scripts.end() ? QString() : it->second;
}
