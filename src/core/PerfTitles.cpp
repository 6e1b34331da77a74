#include "core/PerfTitles.h"

#include "core/PerfError.h"
#include "platform/PerfDataSource.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// The Perflib enumeration reads names into a 10-character buffer.
constexpr qsizetype MaxLocaleName = 9;

struct LocaleList
{
    PerfDataSource* Source;
    QStringList Names;
};

std::vector<LocaleList>& LocaleLists()
{
    static std::vector<LocaleList> lists;
    return lists;
}

std::vector<std::unique_ptr<TPerfInfoData>>*& Cache()
{
    static std::vector<std::unique_ptr<TPerfInfoData>>* cache = nullptr;
    return cache;
}

void LoadTable(TPerfInfoData& data)
{
    const std::optional<QByteArray> table = data.Source->TitleTable(data.LocaleID, data.ValueName);
    if (!table)
        return;
    const QList<QByteArray> strings = table->split('\0');
    for (qsizetype i = 0; i + 1 < strings.size(); i += 2) {
        if (strings[i].isEmpty())
            break; // the empty string that ends the table
        const QString index = QString::fromLocal8Bit(strings[i]);
        bool ok = false;
        index.trimmed().toInt(&ok);
        if (!ok)
            throw EPerfError(QStringLiteral("'%1' is not a valid integer value").arg(index));
        const QString name = QString::fromLocal8Bit(strings[i + 1]).trimmed();
        if (name.isEmpty())
            continue;
        data.Indexes << index;
        data.Names << name;
    }
}

} // namespace

TPerfInfoData* TPerfInfoData::Acquire(PerfDataSource& source, const QString& localeId,
                                      const QString& valueName)
{
    auto*& cache = Cache();
    if (!cache)
        cache = new std::vector<std::unique_ptr<TPerfInfoData>>();
    for (auto& data : *cache) {
        if (data->Source == &source && data->LocaleID.compare(localeId, Qt::CaseInsensitive) == 0 &&
            data->ValueName.compare(valueName, Qt::CaseInsensitive) == 0) {
            ++data->RefCount;
            return data.get();
        }
    }
    auto data = std::make_unique<TPerfInfoData>();
    data->Source = &source;
    data->LocaleID = localeId;
    data->ValueName = valueName;
    try {
        LoadTable(*data);
    } catch (...) {
        if (cache->empty()) {
            delete cache;
            cache = nullptr;
        }
        throw;
    }
    data->RefCount = 1;
    cache->push_back(std::move(data));
    return cache->back().get();
}

void TPerfInfoData::Release(TPerfInfoData* data)
{
    auto*& cache = Cache();
    if (!data || !cache)
        return;
    if (--data->RefCount >= 1)
        return;
    std::erase_if(*cache, [&](const auto& cached) { return cached.get() == data; });
    if (cache->empty()) {
        delete cache;
        cache = nullptr;
    }
}

int TPerfInfoData::CachedTables()
{
    return Cache() ? static_cast<int>(Cache()->size()) : 0;
}

TPerfInfo::TPerfInfo(PerfDataSource& source, QString valueName)
    : m_source(source), m_valueName(std::move(valueName))
{}

TPerfInfo::~TPerfInfo()
{
    ReleaseData();
}

void TPerfInfo::ResetLocales()
{
    LocaleLists().clear();
}

QStringList TPerfInfo::Locales()
{
    auto& lists = LocaleLists();
    auto it = std::find_if(lists.begin(), lists.end(),
                           [&](const LocaleList& l) { return l.Source == &m_source; });
    if (it != lists.end())
        return it->Names;
    // Marked as read before reading, so a failure is raised once only.
    lists.push_back({&m_source, {}});
    const QStringList names = m_source.PerflibLocales();
    for (const QString& name : names) {
        if (name.size() > MaxLocaleName)
            throw EPerfError(QStringLiteral("More data is available."));
        for (LocaleList& list : LocaleLists())
            if (list.Source == &m_source)
                list.Names << name;
    }
    return names;
}

QString TPerfInfo::LocaleID()
{
    if (!m_localeSet) {
        const QStringList locales = Locales();
        m_localeId = locales.isEmpty() ? QString() : locales.first();
        m_localeSet = true;
    }
    return m_localeId;
}

void TPerfInfo::SetLocaleID(const QString& localeId)
{
    const QStringList locales = Locales();
    QString chosen = locales.isEmpty() ? QString() : locales.first();
    for (const QString& locale : locales)
        if (locale.compare(localeId, Qt::CaseInsensitive) == 0) {
            chosen = locale;
            break;
        }
    if (m_localeSet && chosen == m_localeId)
        return;
    m_localeId = chosen;
    m_localeSet = true;
    ReleaseData();
}

TPerfInfoData& TPerfInfo::Data()
{
    if (!m_data)
        m_data = TPerfInfoData::Acquire(m_source, LocaleID(), m_valueName);
    return *m_data;
}

void TPerfInfo::ReleaseData()
{
    TPerfInfoData::Release(m_data);
    m_data = nullptr;
}

QString TPerfInfo::NameOfIndex(const QString& index)
{
    const TPerfInfoData& data = Data();
    const qsizetype at = data.Indexes.indexOf(index);
    return at < 0 ? QString() : data.Names[at];
}

QString TPerfInfo::IndexOfName(const QString& name)
{
    const TPerfInfoData& data = Data();
    for (qsizetype i = 0; i < data.Names.size(); ++i)
        if (data.Names[i].compare(name, Qt::CaseInsensitive) == 0)
            return data.Indexes[i];
    return QStringLiteral("-1");
}

int TPerfInfo::Count()
{
    return static_cast<int>(Data().Names.size());
}
