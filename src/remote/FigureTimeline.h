#pragma once

#include "remote/NodeExporterFigures.h"

#include <QtGlobal>

// The last two replies of an exporter, and its counters at any moment between them. The window
// samples several times a second and the exporter is asked once a second: read straight, most
// samples would see no change and the next one all of it. Here the counters go along the line
// from the reply before the last to the last, one reply behind, so that each sample sees the
// average rate of the second it falls in, and the moment they stand for goes on with them.
class FigureTimeline
{
public:
    // How far past the last reply the line is stretched, in spans between the replies: a reply
    // a little late then still finds the counters moving rather than at a standstill.
    static constexpr double Stretch = 1.5;

    void Add(const NodeExporterFigures& figures, qint64 atMs);
    void Clear() { m_count = 0; }
    bool Empty() const { return m_count == 0; }
    // Whether there is a line to go along: with one reply, the counters stand still.
    bool HasSpan() const { return m_count == 2; }
    const NodeExporterFigures& Latest() const { return m_latest; }

    // The counters (Total, Cpus, Disks, Interfaces) at `nowMs`, and the moment they stand for.
    const NodeExporterFigures& CountersAt(qint64 nowMs, qint64& shownAtMs);

private:
    NodeExporterFigures m_previous;
    NodeExporterFigures m_latest;
    NodeExporterFigures m_shown;
    qint64 m_previousAt = 0;
    qint64 m_latestAt = 0;
    int m_count = 0;
};
