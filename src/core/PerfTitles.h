#pragma once

#include <QString>
#include <QStringList>

class PerfDataSource;

// A title table of one locale ("Counter" or "Help"), shared through a process-wide cache by
// every component that reads it.
struct TPerfInfoData
{
    PerfDataSource* Source = nullptr;
    QString LocaleID;
    QString ValueName;
    QStringList Indexes; // title indexes as decimal text
    QStringList Names;
    int RefCount = 0;

    static TPerfInfoData* Acquire(PerfDataSource& source, const QString& localeId,
                                  const QString& valueName);
    static void Release(TPerfInfoData* data);
    static int CachedTables();
};

// Maps title indexes to names and back for one locale of the Perflib key.
class TPerfInfo
{
public:
    TPerfInfo(PerfDataSource& source, QString valueName);
    virtual ~TPerfInfo();
    TPerfInfo(const TPerfInfo&) = delete;
    TPerfInfo& operator=(const TPerfInfo&) = delete;

    // The locales of the Perflib key, read once per process; a failure to read them raises
    // once, and the locales read before it stay available.
    QStringList Locales();
    QString LocaleID();
    // A locale not in the list selects the first one; a change releases the cached table.
    void SetLocaleID(const QString& localeId);

    QString NameOfIndex(const QString& index);
    QString IndexOfName(const QString& name); // "-1" when none
    int Count();
    PerfDataSource& Source() const { return m_source; }

    // Forgets the process-wide locale list; for tests that stand up a new machine.
    static void ResetLocales();

private:
    TPerfInfoData& Data();
    void ReleaseData();

    PerfDataSource& m_source;
    QString m_valueName;
    QString m_localeId;
    bool m_localeSet = false;
    TPerfInfoData* m_data = nullptr;
};

class TPerfTitles : public TPerfInfo
{
public:
    explicit TPerfTitles(PerfDataSource& source) : TPerfInfo(source, QStringLiteral("Counter")) {}
};

class TPerfHelps : public TPerfInfo
{
public:
    explicit TPerfHelps(PerfDataSource& source) : TPerfInfo(source, QStringLiteral("Help")) {}
};
