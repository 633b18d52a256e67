#pragma once
// Scripted faults for the file layer: the disk fills after k bytes, a flush
// fails, or the process is stopped at a chosen system call. Installs itself
// when constructed and lets every call run again when destroyed.
#include "store/FileIo.h"

#include <QString>
#include <cerrno>

class InjectedFaults {
public:
    InjectedFaults();
    ~InjectedFaults();
    InjectedFaults(const InjectedFaults&) = delete;
    InjectedFaults& operator=(const InjectedFaults&) = delete;

    // Writes move k more bytes in all; the write that finds none left fails
    // with `error` (a write asking for more than is left is cut short first,
    // as a disk filling up does). One failure only: later calls run, as
    // writing over bytes a file already holds still works on a full disk.
    InjectedFaults& diskFullAfter(qint64 k, int error = ENOSPC);
    // The next flush to the disk fails with `error`.
    InjectedFaults& failNextSync(int error = EIO);
    // The next flush of a folder (after a rename or removal) fails with `error`.
    InjectedFaults& failNextFolderSync(int error = EIO);
    // Only calls on paths ending with this name are touched (all when empty).
    InjectedFaults& onlyFile(const QString& name);
    // Ends the process (exit code 9, nothing flushed) before system call
    // number k (from 1) of the layer runs.
    InjectedFaults& stopBeforeCall(int k);

    int calls() const { return m_calls; }
    bool fired() const { return m_fired; }

private:
    FileIo::Verdict decide(FileIo::Call call, const QString& path, qint64 bytes);

    qint64 m_budget = -1; // -1: writes are not limited
    int m_writeError = 0;
    int m_syncError = 0;
    int m_folderSyncError = 0;
    int m_stopAt = 0;
    int m_calls = 0;
    bool m_fired = false;
    QString m_file;
};
