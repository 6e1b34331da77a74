#pragma once

#include "core/PerfData.h"
#include "core/PerfTitles.h"

#include <QString>

class PerfDataSource;
class TPerfHelps;

// The objects of the shared block, by position and by name. Reads whatever block the shared
// data holds; never queries again.
class TPerfObjects
{
public:
    explicit TPerfObjects(PerfDataSource& source);

    QString LocaleID() { return m_titles.LocaleID(); }
    void SetLocaleID(const QString& localeId) { m_titles.SetLocaleID(localeId); }
    TPerfHelps* Helps = nullptr;

    int Count();
    QString Names(int index);
    // Raises "Unknown performance object : "name"" when no object has that name.
    int IndexOf(const QString& name);

    const PerfLayout::PerfObjectType* Object(int index); // raises "Index out of bounds"
    PerfBlockView Block() { return m_data.Get().Block(); }
    TPerfTitles& Titles() { return m_titles; }

private:
    TPerfTitles m_titles;
    PerfDataRef m_data;
};

// The counters of one object.
class TPerfCounters
{
public:
    explicit TPerfCounters(PerfDataSource& source);

    QString LocaleID() { return m_titles.LocaleID(); }
    // Translates ObjectName into the new locale.
    void SetLocaleID(const QString& localeId);
    TPerfHelps* Helps = nullptr;
    bool Loading = false; // while set, names are only stored

    const QString& ObjectName() const { return m_objectName; }
    void SetObjectName(const QString& name);

    int Count();
    QString Names(int index);

private:
    const PerfLayout::PerfObjectType* BoundObject();

    TPerfTitles m_titles;
    TPerfObjects m_objects;
    QString m_objectName;
};

// The instances of one object.
class TPerfInstances
{
public:
    explicit TPerfInstances(PerfDataSource& source);

    QString LocaleID() { return m_titles.LocaleID(); }
    void SetLocaleID(const QString& localeId);
    bool Loading = false;

    const QString& ObjectName() const { return m_objectName; }
    // Raises "Object "name" has no instances" (and clears the name) for such an object.
    void SetObjectName(const QString& name);

    int Count();
    QString Names(int index);
    // The name as it stands in the block, valid until the next query.
    QStringView NameView(int index);

private:
    const PerfLayout::PerfObjectType* BoundObject();
    const PerfLayout::PerfInstanceDefinition* Instance(int index);

    TPerfTitles m_titles;
    TPerfObjects m_objects;
    QString m_objectName;
};
