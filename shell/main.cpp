// Entry point of the desktop program.
#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <cstdio>
#include <cstdlib>

#include "shell/CommandLine.h"
#include "shell/PlatformChoice.h"
#include "shell/QtTranslation.h"
#include "shell/RunCommand.h"

int main(int argc, char* argv[])
{
    // Help and a wrong command line are answered on a terminal without a window system too.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const StartCommand early = ParseStartCommand(arguments);
    if (early.action == StartAction::Help)
        return PrintHelp();
    if (early.action == StartAction::Wrong && !WindowSystemNamed(std::getenv)) {
        std::fprintf(stderr, "pellum: %s\n", early.wrong.toUtf8().constData());
        return 2;
    }

    ApplyPlatformChoice(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tembrel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/tembrel.png")));
    // The program ends when the icon window is unloaded, not when some window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    InstallQtTranslation(QLocale::system());
    // Qt's own options (-platform, -display, …) are gone from the arguments now.
    return RunStartCommand(ParseStartCommand(QApplication::arguments().mid(1)));
}
