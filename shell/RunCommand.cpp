// The start's branches: the icon or the extraction window, the actions, help and a wrong line.
#include "shell/RunCommand.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "actions/ActionRun.h"
#include "actions/CompressHere.h"
#include "actions/ExtractHere.h"
#include "services/Desktop.h"
#include "shell/Startup.h"
#include "shell/TerminationSignals.h"
#include "shell/Windows.h"

namespace {

QStringList absolutePaths(const QStringList& names)
{
    QStringList paths;
    for (const QString& name : names)
        paths << QDir::cleanPath(QFileInfo(name).absoluteFilePath());
    return paths;
}

int runAction(const StartCommand& command)
{
    ActionRun run(StartForAction());
    WatchTerminationSignals([&run] { run.stop(); });
    QObject::connect(&run, &ActionRun::ended, &run, [](int status) { QCoreApplication::exit(status); });
    const QStringList paths = absolutePaths(command.names);
    if (command.action == StartAction::ExtractHere)
        ExtractHere(run, paths);
    else
        CompressHere(run, command.action == StartAction::CompressLzh ? ArchiveKind::Lzh : ArchiveKind::Zip, paths);
    return QApplication::exec();
}

int runWindows(const StartCommand& command)
{
    // A job in progress is stopped as キャンセル stops it; then the program ends as 終了 ends it.
    WatchTerminationSignals([] { RequestEndProgram(true, false); });
    if (command.action == StartAction::ExtractTo)
        StartWithArchives(command.names);
    else
        StartProgram(command.names);
    return QApplication::exec();
}

}  // namespace

int PrintHelp()
{
    std::fputs(HelpText().toUtf8().constData(), stdout);
    return 0;
}

int RunStartCommand(const StartCommand& command)
{
    switch (command.action) {
    case StartAction::Help: return PrintHelp();
    case StartAction::Wrong:
        std::fprintf(stderr, "pellum: %s\n", command.wrong.toUtf8().constData());
        desktop().showMessage(nullptr, command.wrong, QStringLiteral("tembrel"));
        return 2;
    case StartAction::ExtractHere:
    case StartAction::CompressLzh:
    case StartAction::CompressZip: return runAction(command);
    case StartAction::Open:
    case StartAction::ExtractTo: return runWindows(command);
    }
    return 2;
}
