#include "skin/SkinCatalogue.h"

#include "platform/FolderListing.h"
#include "platform/ProfileIni.h"
#include "res/MRes.h"
#include "skin/SkinElements.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

QString ReadSkinName(const QString& path)
{
    const QFileInfo info(path);
    if (info.fileName().contains(u'=') || !info.exists())
        return {};
    QFile probe(path);
    if (!info.isFile() || !probe.open(QIODevice::ReadOnly))
        return QStringLiteral("(Access Denied)");
    probe.close();
    return ProfileIni(path).ReadString(QLatin1String(TSkinSystem::IdentitySection),
                                       QStringLiteral("SkinName"));
}

const SkinDefinitionCache::Definition& SkinDefinitionCache::Read(const QFileInfo& file)
{
    return m_definitions.Get(file, [](const QString& path) {
        Definition read;
        read.Fault = TSkinSystem::ReadDefinition(path, read.Ini);
        return read;
    });
}

void SkinDefinitionCache::Prune()
{
    m_definitions.Prune();
    m_pictures.Prune();
}

SkinList ListSkins(const QString& skinFolder, SkinPlatform platform)
{
    return ListSkins(QStringList{skinFolder}, platform);
}

SkinList ListSkins(const QStringList& skinFolders, SkinPlatform platform,
                   SkinDefinitionCache* cache, QSize screen)
{
    SkinDefinitionCache once;
    SkinDefinitionCache& definitions = cache ? *cache : once;
    SkinList list;
    QStringList taken;
    for (const QString& folder : skinFolders) {
        const QDir dir(folder);
        const QFileInfoList entries =
            EntriesWithSuffix(dir, u".ini", QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
        for (const QFileInfo& entry : entries) {
            const QString file = entry.fileName();
            if (taken.contains(file, Qt::CaseInsensitive))
                continue;
            taken << file;
            const QString path = entry.filePath();
            if (!entry.isFile())
                continue;
            const SkinDefinitionCache::Definition& definition = definitions.Read(entry);
            if (definition.Fault ||
                TSkinSystem::FindSkinFault(definition.Ini, path, platform, SkinCheck::Headers,
                                           screen, &definitions.Pictures()))
                continue;
            // As ReadSkinName gives it, without reading the file again.
            const QString name = file.contains(u'=')
                                     ? QString()
                                     : definition.Ini.ReadString(
                                           QLatin1String(TSkinSystem::IdentitySection),
                                           QStringLiteral("SkinName"));
            list.push_back({name, path});
        }
    }
    definitions.Prune();
    std::sort(list.begin(), list.end(), [](const SkinListEntry& a, const SkinListEntry& b) {
        return QString::compare(a.Name + u'=' + a.Path, b.Name + u'=' + b.Path,
                                Qt::CaseInsensitive) < 0;
    });
    return list;
}

QString FindSkinPath(const SkinList& list, const QString& name)
{
    for (const SkinListEntry& entry : list)
        if (entry.Name.compare(name, Qt::CaseInsensitive) == 0)
            return entry.Path;
    return {};
}

bool FixUpFullMode(bool fullMode, const TSkinSystem& skin)
{
    if (fullMode && !skin.Full.Enable)
        return false;
    if (!fullMode && !skin.Compact.Enable)
        return true;
    return fullMode;
}

std::array<int, GraphCount> HistoryDepths(const TSkinSystem& skin)
{
    std::array<int, GraphCount> depths{};
    for (int i = 0; i < GraphCount; ++i) {
        const TSkinGraph& graph = skin.Full.Graphs[static_cast<size_t>(i)];
        depths[static_cast<size_t>(i)] = graph.Enabled ? graph.Deep : 32;
    }
    return depths;
}

namespace {

// Whether either mode shows an element of one of the inputs, or a text of one of the values.
bool ShowsAny(const TSkinSystem& skin, std::initializer_list<SkinInput> inputs,
              std::initializer_list<SkinTextValue> texts)
{
    const auto named = [](const auto& list, const auto& value) {
        return value && std::find(list.begin(), list.end(), *value) != list.end();
    };
    for (const TSkinModeRecord* mode : {&skin.Compact, &skin.Full}) {
        for (const SkinElementRow& row : SkinElements()) {
            if (!SkinElementEnabled(*mode, row))
                continue;
            if (row.Kind != SkinElementKind::Text ? named(inputs, std::optional(row.Input))
                                                  : named(inputs, mode->Texts[row.Index].Number) ||
                                                        named(texts, mode->Texts[row.Index].String))
                return true;
        }
    }
    return false;
}

} // namespace

bool ShowsSensors(const TSkinSystem& skin)
{
    using I = SkinInput;
    return ShowsAny(skin,
                    {I::TempPos, I::Temperature, I::TempAlarm, I::TempHistory, I::BatteryPercent,
                     I::BatteryCharging, I::BatteryHistory, I::DiskSpacePercent},
                    {SkinTextValue::TempName, SkinTextValue::BatteryState});
}

bool ShowsGpu(const TSkinSystem& skin)
{
    using I = SkinInput;
    return ShowsAny(skin,
                    {I::GpuLoad, I::GpuMemoryLoad, I::GpuTempPos, I::GpuTemperature, I::GpuHistory,
                     I::GpuMemHistory},
                    {SkinTextValue::GpuName});
}

bool ShowsFan(const TSkinSystem& skin)
{
    return ShowsAny(skin, {SkinInput::FanPos, SkinInput::FanRpm}, {});
}

bool ShowsProcesses(const TSkinSystem& skin)
{
    using T = SkinTextValue;
    return ShowsAny(skin, {},
                    {T::Proc1Name, T::Proc2Name, T::Proc3Name, T::Proc4Name, T::Proc5Name,
                     T::Proc1Share, T::Proc2Share, T::Proc3Share, T::Proc4Share, T::Proc5Share});
}

bool ShowsTextValue(const TSkinSystem& skin, SkinTextValue value)
{
    return ShowsAny(skin, {}, {value});
}

QStringList SkinInformationLines(const TSkinSystem& skin, const TMRes& texts)
{
    const auto pick = [&](bool on, const char* yes, const char* no) {
        return texts.GetText(QLatin1String(on ? yes : no));
    };
    // The labels end in their colon, padded so that the values line up in the fixed font.
    const auto label = [&](const char* code, const char* builtIn) {
        return TextOr(&texts, code, QLatin1String(builtIn)) + u' ';
    };
    return {label("C0402", "Name    :") + skin.SkinName,
            label("C0403", "Version :") + skin.SkinSystem,
            label("C0404", "MemUsed :") + QString::asprintf("%8.2f", skin.MemUsed / 1024.0) +
                QStringLiteral(" KBytes"),
            label("C0405", "Creater :") + skin.CreaterName,
            label("C0406", "URL     :") + skin.CreaterURL,
            QString(),
            pick(skin.Compact.Enable, "R0611", "R0612"),
            pick(skin.Full.Enable, "R0613", "R0614"),
            pick(skin.Win9x, "R0615", "R0616"),
            pick(skin.WinNT, "R0617", "R0618"),
            pick(skin.Compact.FloatSW, "R0619", "R0620"),
            pick(skin.Full.FloatSW, "R0621", "R0622")};
}
