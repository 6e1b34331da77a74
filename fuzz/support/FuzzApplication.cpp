#include "support/FuzzApplication.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

// Warnings about refused input come by the million while fuzzing; only the serious ones are
// worth the time to print.
void SeriousMessagesOnly(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

void StartFuzzApplication(int* argc, char*** argv)
{
    if (QCoreApplication::instance())
        return;
    qInstallMessageHandler(SeriousMessagesOnly);
    // Never destroyed: libFuzzer ends the run with exit(), while the targets' statics use it.
    static QCoreApplication* application = new QCoreApplication(*argc, *argv);
    (void)application;
}
