#include "platform/AppPaths.h"
#include "pulsmir-skin/SkinTool.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    // The language files the program itself would read: beside a build, or installed.
    const AppPaths paths = AppPaths::FromEnvironment(QCoreApplication::applicationDirPath(),
                                                     QStringLiteral(PULSMIR_INSTALL_DATADIR));
    return RunSkinTool(app.arguments().mid(1), out, err, paths.DataFolders());
}
