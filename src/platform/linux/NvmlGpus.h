#pragma once

#include "platform/Gpus.h"
#include "platform/SharedLibrary.h"

#include <QString>
#include <memory>
#include <vector>

// NVIDIA's cards through the driver's own management library, loaded at run time where it is
// installed; the library is opened at the first reading and stays open until Close(). The
// caller asks only while no NVIDIA card sleeps: the library's start wakes every card.
class NvmlGpus
{
public:
    // library: the library's soname, or the path of a stand-in with its entry points.
    explicit NvmlGpus(const QString& library);
    ~NvmlGpus();
    NvmlGpus(const NvmlGpus&) = delete;
    NvmlGpus& operator=(const NvmlGpus&) = delete;

    // Every card the library serves, in its order, with ids "nvidia/<index>"; none when the
    // library or its driver is missing (Error() says why).
    std::vector<GpuReading> Read();
    // Lets the library go until the next reading, so the cards may sleep.
    void Close();
    QString Error() const { return m_error; }

    // Never more cards than this are asked for, whatever count the library gives.
    static constexpr unsigned MaxCards = 64;

private:
    struct Functions;
    SharedLibrary m_library;
    std::unique_ptr<Functions> m_functions;
    bool m_open = false;
    QString m_error;
};
