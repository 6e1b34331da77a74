// The delayed launcher: waits a few seconds after log-in, then starts the monitor from its
// own folder, so that the desktop is settled before the monitor places itself.
#include "Version.h"
#include "app/DelayLauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0)) {
        std::puts("Usage: PlsmDelay SECONDS [DRIVE-DIGIT]\n"
                  "Waits SECONDS (2 to 60), then starts pulsmir from this folder;\n"
                  "with a drive digit it starts \"pulsmir /M /D:digit\".");
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("PlsmDelay %s (Build %d)\n", Version::Text, Version::Build);
        return 0;
    }

    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments();
    arguments.removeFirst();
    const std::optional<DelayRequest> request = ParseDelayArguments(arguments);
    if (!request) {
        std::fputs("PlsmDelay: expected SECONDS [DRIVE-DIGIT]; see --help\n", stderr);
        return 2;
    }
    QThread::sleep(static_cast<unsigned long>(request->seconds));

    // Beside the launcher in a program folder; installed, the launcher is in libexec/pulsmir.
    QString monitor = app.applicationDirPath() + QStringLiteral("/pulsmir");
    if (!QFileInfo::exists(monitor))
        monitor = QDir::cleanPath(app.applicationDirPath() + QStringLiteral("/../../bin/pulsmir"));
    const QByteArray program = QFile::encodeName(monitor);
    std::vector<QByteArray> owned{program};
    for (const QString& argument : MonitorArguments(*request))
        owned.push_back(argument.toLocal8Bit());
    std::vector<char*> argvOut;
    for (QByteArray& item : owned)
        argvOut.push_back(item.data());
    argvOut.push_back(nullptr);
    execv(program.constData(), argvOut.data());
    std::perror("PlsmDelay: cannot start pulsmir");
    return 1;
}
