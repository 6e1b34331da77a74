#include "core/PerfObjects.h"

#include "core/PerfError.h"

using namespace PerfLayout;

namespace {

QString TranslateName(TPerfTitles& titles, const QString& name, const QString& newLocale)
{
    if (name.isEmpty())
        return name;
    const QString index = titles.IndexOfName(name);
    titles.SetLocaleID(newLocale);
    return titles.NameOfIndex(index);
}

} // namespace

TPerfObjects::TPerfObjects(PerfDataSource& source) : m_titles(source), m_data(source)
{}

int TPerfObjects::Count()
{
    return static_cast<int>(Block().ObjectCount());
}

const PerfObjectType* TPerfObjects::Object(int index)
{
    if (index < 0 || index >= Count())
        throw EPerfError(QStringLiteral("Index out of bounds"));
    const PerfBlockView block = Block();
    const PerfObjectType* object = block.FirstObject();
    for (int i = 0; i < index && object; ++i)
        object = block.NextObject(object);
    if (!object)
        throw EPerfError(QStringLiteral("Index out of bounds"));
    return object;
}

QString TPerfObjects::Names(int index)
{
    return m_titles.NameOfIndex(QString::number(Object(index)->ObjectNameTitleIndex));
}

int TPerfObjects::IndexOf(const QString& name)
{
    bool ok = false;
    const int titleIndex = m_titles.IndexOfName(name).toInt(&ok);
    if (ok && titleIndex >= 0) {
        const PerfBlockView block = Block();
        const int count = Count();
        const PerfObjectType* object = block.FirstObject();
        for (int i = 0; i < count && object; ++i, object = block.NextObject(object))
            if (object->ObjectNameTitleIndex == static_cast<std::uint32_t>(titleIndex))
                return i;
    }
    throw EPerfError(QStringLiteral("Unknown performance object : \"%1\"").arg(name));
}

TPerfCounters::TPerfCounters(PerfDataSource& source) : m_titles(source), m_objects(source)
{}

void TPerfCounters::SetLocaleID(const QString& localeId)
{
    m_objectName = TranslateName(m_titles, m_objectName, localeId);
    m_titles.SetLocaleID(localeId);
    m_objects.SetLocaleID(localeId);
}

void TPerfCounters::SetObjectName(const QString& name)
{
    if (!Loading)
        m_objects.IndexOf(name);
    m_objectName = name;
}

const PerfObjectType* TPerfCounters::BoundObject()
{
    return m_objects.Object(m_objects.IndexOf(m_objectName));
}

int TPerfCounters::Count()
{
    return static_cast<int>(m_objects.Block().CounterCount(BoundObject()));
}

QString TPerfCounters::Names(int index)
{
    const PerfObjectType* object = BoundObject();
    const PerfBlockView block = m_objects.Block();
    if (index < 0 || index >= static_cast<int>(block.CounterCount(object)))
        throw EPerfError(QStringLiteral("Index out of bounds"));
    const PerfCounterDefinition* counter = block.FirstCounter(object);
    for (int i = 0; i < index && counter; ++i)
        counter = block.NextCounter(object, counter);
    if (!counter)
        throw EPerfError(QStringLiteral("Index out of bounds"));
    return m_titles.NameOfIndex(QString::number(counter->CounterNameTitleIndex));
}

TPerfInstances::TPerfInstances(PerfDataSource& source) : m_titles(source), m_objects(source)
{}

void TPerfInstances::SetLocaleID(const QString& localeId)
{
    m_objectName = TranslateName(m_titles, m_objectName, localeId);
    m_titles.SetLocaleID(localeId);
    m_objects.SetLocaleID(localeId);
}

void TPerfInstances::SetObjectName(const QString& name)
{
    if (!Loading) {
        const PerfObjectType* object = m_objects.Object(m_objects.IndexOf(name));
        if (object->NumInstances < 0) {
            m_objectName.clear();
            throw EPerfError(QStringLiteral("Object \"%1\" has no instances").arg(name));
        }
    }
    m_objectName = name;
}

const PerfObjectType* TPerfInstances::BoundObject()
{
    return m_objects.Object(m_objects.IndexOf(m_objectName));
}

int TPerfInstances::Count()
{
    return m_objects.Block().InstanceCount(BoundObject());
}

const PerfInstanceDefinition* TPerfInstances::Instance(int index)
{
    const PerfObjectType* object = BoundObject();
    const PerfBlockView block = m_objects.Block();
    if (index < 0 || index >= block.InstanceCount(object))
        throw EPerfError(QStringLiteral("Index out of bounds"));
    const PerfInstanceDefinition* instance = block.FirstInstance(object);
    for (int i = 0; i < index && instance; ++i)
        instance = block.NextInstance(instance);
    if (!instance)
        throw EPerfError(QStringLiteral("Index out of bounds"));
    return instance;
}

QStringView TPerfInstances::NameView(int index)
{
    return m_objects.Block().InstanceName(Instance(index));
}

QString TPerfInstances::Names(int index)
{
    return NameView(index).toString();
}
