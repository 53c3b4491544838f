// Entry point of the desktop program.
#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "shell/CommandLine.h"
#include "shell/Startup.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tembrel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/tembrel.png")));
    // The program ends when the icon window is unloaded, not when some window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    // Qt's own dialogs (file choosers, message-box buttons) in the user's language.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    StartProgram(StartupNames(QApplication::arguments()));
    return QApplication::exec();
}
