#pragma once
// Copying a whole data file to another place, as backup and restore do.
#include "platform/Progress.h"
#include "store/FileError.h"

#include <QString>

namespace FileCopy {

// The name a copy is written under beside its target until it is complete.
QString PartialName(const QString& target);

// Copies `source` to `target`, replacing a file already there. The copy is
// written beside the target under PartialName, flushed to disk and renamed
// over the target only when complete, so a failed copy never leaves a
// truncated file where a good one stood (the partial file is removed). A
// replaced target keeps its permissions. On failure `error` names the file
// and the system's reason.
// `progress` is told the bytes copied (the copy runs to its end).
bool CopyFile(const QString& source, const QString& target, FileError& error, const ProgressFn& progress = {});

// Writes `bytes` as the file `target` the same way: under PartialName,
// flushed, renamed over the target when complete, its permissions kept.
bool WriteFile(const QByteArray& bytes, const QString& target, FileError& error);

} // namespace FileCopy
