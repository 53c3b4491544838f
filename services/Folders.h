// Folders a job makes, and taking them away again when the job left them empty.
#pragma once

#include <QString>
#include <QStringList>

// `folder` and its parents up to the first that exists, outermost first: what making `folder`
// would make.
QStringList MissingFolders(const QString& folder);

// Removes the folders of `made` that are empty, deepest first; folders with anything in them
// stay.
void RemoveEmptyFolders(const QStringList& made);
