#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

// The script file: up to ten scripts per event ("Type1" .. "Type10" of the event's section),
// one of which is chosen at random when the event happens.
class TSstpMsg
{
public:
    // The events in the order they are read; the translucency switch has a section per
    // direction and falls back to the shared "ChangeAlpha" section.
    static const QStringList& EventNames();
    static constexpr int TypesPerEvent = 10;

    // Seeded from the clock.
    TSstpMsg();
    explicit TSstpMsg(std::uint32_t seed);

    // False when the file does not exist or cannot be read; the lists are empty then.
    bool LoadFromFile(const QString& fileName);

    // A script chosen uniformly among the event's scripts, or empty when it has none.
    QString GetScript(const QString& event);

    // The "Counts" list: every event name with its number of scripts, in file order.
    QStringList CountNames() const;
    int Count(const QString& event) const;
    // The event's script number `number` (1 .. Count), or empty.
    QString Script(const QString& event, int number) const;

private:
    std::vector<std::pair<QString, QString>> m_scripts; // event + number, script
    std::vector<std::pair<QString, int>> m_counts;
    std::mt19937 m_random;
};
