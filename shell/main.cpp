// Entry point of the desktop program.
#include <QApplication>
#include <QIcon>
#include <QLocale>

#include "shell/CommandLine.h"
#include "shell/PlatformChoice.h"
#include "shell/QtTranslation.h"
#include "shell/Startup.h"
#include "shell/TerminationSignals.h"
#include "shell/Windows.h"

int main(int argc, char* argv[])
{
    ApplyPlatformChoice(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tembrel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/tembrel.png")));
    // The program ends when the icon window is unloaded, not when some window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    InstallQtTranslation(QLocale::system());

    // A job in progress is stopped as キャンセル stops it; then the program ends as 終了 ends it.
    WatchTerminationSignals([] { RequestEndProgram(true, false); });
    StartProgram(StartupNames(QApplication::arguments()));
    return QApplication::exec();
}
