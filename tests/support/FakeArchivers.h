// A scripted engine in place of the plug-ins: each command runs a script that may report
// progress, ask questions and write files, on whatever thread the job runs on.
#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QThread>
#include <functional>

#include "services/Pack.h"

class FakeArchivers final : public Pack::Archivers {
public:
    using Script =
        std::function<Pack::CommandResult(Pack::Plugin plugin, const QString& command, Pack::Listener& listener)>;

    Script script = [](Pack::Plugin, const QString&, Pack::Listener&) { return Pack::CommandResult{}; };
    QList<Pack::Plugin> missing;  // plug-ins whose probe fails
    // Answers the list commands, apart from the commands that do work; by default an empty list.
    std::function<Pack::CommandResult(Pack::Plugin plugin, const QString& command)> lister =
        [](Pack::Plugin, const QString&) { return Pack::CommandResult{}; };

    int version(Pack::Plugin plugin) override
    {
        if (missing.contains(plugin))
            throw Pack::ArchiverMissing("no such plug-in");
        return 100;
    }

    Pack::CommandResult run(Pack::Plugin plugin, const QString& command, Pack::Listener* listener) override
    {
        {
            QMutexLocker lock(&mutex_);
            commands_ << command;
        }
        Pack::Listener silent;
        return script(plugin, command, listener ? *listener : silent);
    }

    Pack::CommandResult runForText(Pack::Plugin plugin, const QString& command) override
    {
        return lister(plugin, command);
    }

    QStringList commands() const
    {
        QMutexLocker lock(&mutex_);
        return commands_;
    }

private:
    mutable QMutex mutex_;
    QStringList commands_;
};

// A result with the given code and one structured failure.
inline Pack::CommandResult FailedWith(int code, const QString& path, int systemError = 0,
                                      const QString& english = "failed")
{
    Pack::CommandResult result;
    result.code = code;
    result.message = english;
    result.failures.append({path, code, systemError, english});
    return result;
}

// Reports progress until the listener says stop (a cancelled job), then returns Cancelled.
inline Pack::CommandResult RunUntilCancelled(Pack::Listener& listener, const QString& entry = "big.bin")
{
    Pack::Progress progress;
    progress.entryName = entry;
    progress.jobBytesTotal = 1000;
    for (;;) {
        progress.jobBytesDone = (progress.jobBytesDone + 1) % 1000;
        if (!listener.progress(progress))
            return FailedWith(Pack::Cancelled, QString(), 0, "cancelled");
        QThread::msleep(1);  // a slice of work
    }
}
