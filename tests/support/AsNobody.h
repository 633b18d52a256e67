#pragma once
// Permission cases cannot be tried as root, who may write anything: run them
// in a forked child that has given up its privileges for those of "nobody".
#include <QString>
#include <functional>

// The uid of "nobody", or -1 when the system has no such user.
int NobodyUid();
// Runs `body` in a child process as "nobody" and returns its result (0 to
// 255), or -1 when the child could not drop its privileges or died. The
// child ends with _exit, so nothing of the parent's state is flushed twice.
int RunAsNobody(const std::function<int()>& body);
// Lets "nobody" reach a folder (and the folders above it, for the temporary
// folders of the tests) without giving it the right to write there.
void OpenFolderToOthers(const QString& path);
