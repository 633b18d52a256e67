#pragma once
// The one way the data files reach the disk. Every record file and the user
// log go through here, so that the same rules hold for all of them:
//  - only regular files are opened (a pipe, device, socket or folder is
//    refused at once, without waiting on it);
//  - writes move every byte or report why not (short writes and EINTR are
//    retried), and are flushed to the disk before success is reported;
//  - a failed write is undone: the bytes it covered are put back and the file
//    is cut back to its old length;
//  - a write in place is announced in an intent file first, so one cut off
//    by a crash is finished at the next open, never left half done; only an
//    intent shaped like the program's own writes is carried out, anything
//    else is set aside and reported;
//  - a file replaced by a rename keeps the old file's permissions, and the
//    folder is flushed after the rename;
//  - every failure carries the system's own reason.
//
// All system calls of this layer first ask an interceptor, which tests use
// to inject faults (a write cut short after k bytes, a full disk, a failed
// flush) or to stop the process at a chosen call.
#include "store/FileError.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace FileIo {

enum class Call { Open, Read, Write, Truncate, Sync, SyncFolder, Rename, Remove, SetMode, Link };

// What the interceptor lets one system call do.
struct Verdict {
    int error = 0; // not 0: the call does nothing and fails with this errno
    qint64 limit = -1; // 0 or more: a read or write moves at most this many bytes
};

// Asked before every system call with the path it acts on and, for reads and
// writes, the number of bytes asked for. An empty interceptor lets every call
// run as it is.
using Interceptor = std::function<Verdict(Call call, const QString& path, qint64 bytes)>;
void setInterceptor(Interceptor interceptor);

// The system's text for an errno value ("No space left on device").
QString errorText(int error);

// What the program writes in place to a file: one record (after a record cut
// short, that record's missing bytes and one record), or one whole line
// ending in CR LF added at the end. A leftover intent file describing any
// other write is not the program's and is never carried out.
// The longest line a line-shaped write may add unless the file says
// otherwise; log lines are far shorter.
inline constexpr int MaxLineLength = 4096;
struct WriteShape {
    int recordLength = 0; // records of this many bytes
    bool lines = false; // lines added at the end
    int maxLineLength = MaxLineLength; // lines: the longest the file takes
    bool known() const { return recordLength > 0 || lines; }
    static WriteShape records(int length) { return {length, false}; }
    static WriteShape lineAtEnd(int maxLength = MaxLineLength) { return {0, true, maxLength}; }
};

// Whether opening a data file finishes an interrupted write left in its
// intent file (true unless turned off). A reader that must change nothing,
// and must not race the program over its files, turns it off.
void setFinishInterruptedWrites(bool finish);
// Whether `path` has an intent file (a regular file, not a link) not yet
// carried out: a write that was cut off and waits for the next open.
bool hasInterruptedWrite(const QString& path);

// Receives what the file layer has to tell the user on its own account: an
// intent file set aside. Without a receiver the text goes to standard error.
void setNoticeReceiver(std::function<void(const QString& text)> receiver);

// A file descriptor on one regular file, closed when the object goes.
class File {
public:
    enum Mode {
        ReadOnly,
        // Read and write, creating a missing file; an existing file that may
        // not be written opens read-only (isWritable() tells) so it can still
        // be read.
        Update,
        // Read and write a file that must exist.
        ReadWrite,
        // A new, empty work file. A leftover of that name is removed first,
        // so a link by that name is replaced, never written through.
        CreateNew,
        // Read and write an existing plain file, never through a link and
        // never creating one (an intent file kept from the last write).
        Kept,
    };

    File() = default;
    ~File() { close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens `path`; refuses anything that is not a regular file. On failure
    // `what` says why, ready for a FileError ("could not be opened: ..."), and
    // lastErrno() is 0 when the file was refused for not being regular.
    // Given how the program writes the file, a leftover intent file beside it
    // is first carried out (or set aside when it does not fit that shape).
    // A symbolic link is followed, by the open and by that replay alike.
    bool open(const QString& path, Mode mode, QString& what, const WriteShape& shape = {});
    void close();
    bool isOpen() const { return m_fd >= 0; }
    bool isWritable() const { return m_writable; }
    const QString& path() const { return m_path; }
    // The permission bits the file had when it was opened.
    unsigned permissions() const { return m_permissions; }

    // -1 on failure.
    qint64 size();
    // Reads up to `length` bytes at `offset`, stopping early only at the end
    // of the file. Returns the bytes read, or -1.
    qint64 readAt(qint64 offset, char* data, qint64 length);
    // Writes all `length` bytes at `offset`, or returns false.
    bool writeAt(qint64 offset, const char* data, qint64 length);
    bool truncate(qint64 length);
    // Flushes the written data to the disk.
    bool sync();
    bool setPermissions(unsigned permissions);

    // The reason of the last failure, as the system words it.
    QString reason() const { return errorText(m_errno); }
    int lastErrno() const { return m_errno; }

private:
    bool failWith(int error);
    bool openPlain(const QString& path, Mode mode, QString& what);
    static void finishInterruptedWrite(const QString& path, const WriteShape& shape);

    int m_fd = -1;
    bool m_writable = false;
    unsigned m_permissions = 0;
    unsigned m_owner = 0, m_group = 0;
    int m_errno = 0;
    QString m_path;

    friend bool copyOwnership(const File& from, File& to);
};

// Writes `bytes` at `at` (at most the file's length: at its end appends) and
// flushes them to the disk, through an intent file (see intentFileName), so a
// process killed half way leaves the file old or, at its next open, new
// (in a folder closed to new files, the write goes ahead without one). When that fails the file is put back exactly as
// it was: the old bytes under the write are written back and the file is cut
// to its old length. `reason` says what failed (and whether the undo did too).
// The intent of a write that succeeded is marked as carried out and kept for
// the next write beside the file, so that write makes no new name in the
// folder. The mark is not flushed (carried out again after a power cut, the
// intent writes the bytes already there); truncate(), replaceFile() and
// removeFile() make it last first.
bool writeOrRestore(File& file, qint64 at, const QByteArray& bytes, QString& reason);

// Writes `bytes` at `at` (at most the file's length) and flushes them, like
// writeOrRestore and with its undo, but without an intent: one flush instead
// of two. Only for a file whose own reader recognises a write cut off half
// way and puts it right (the audit trail and its count). An intent file left
// beside the file by an earlier write is removed first, the removal flushed.
bool writeWithoutIntent(File& file, qint64 at, const QByteArray& bytes, QString& reason);

// The intent file writeOrRestore keeps beside `path` while it writes: a
// leftover one is carried out (or, when cut short itself, dropped) by the
// next open of `path`. One that does not fit is renamed to
// rejectedIntentFileName and reported.
QString intentFileName(const QString& path);
QString rejectedIntentFileName(const QString& path);

// A file derived from a data file and kept beside it ("<file>.$$l": the
// citation list's columns): only ever a copy, trusted only while the data
// file is as it was when the copy was made. Every change this layer makes
// to a data file (a write, a cut, a replay of an intent, a replace, a link
// or a removal) first removes its derived file for good (the folder is
// flushed), and fails when it cannot.
QString derivedFileName(const QString& path);
// How many changes to data files have begun in this process; a copy made
// from a file as it was at one count is written only while that count stands.
quint64 derivedFilesChanged();
// Writes `bytes` as the derived file of `path` (through a work file, flushed,
// then renamed into place) when no change has begun since derivedFilesChanged()
// gave `changesBefore` and stillFits() says the data file is still the one
// copied, both asked again just before the rename. A change begun meanwhile
// makes it give up; the change waits at most for the rename. The folder is
// not flushed: a derived file whose name is lost is only made again. False
// when nothing was written.
bool writeDerivedFile(const QString& path, const QByteArray& bytes, quint64 changesBefore,
                      const std::function<bool()>& stillFits);

// Gives `to` the owner and group of `from` where the process may (as root).
bool copyOwnership(const File& from, File& to);

// Renames `source` over `target` in one step and flushes the folder, so the
// new name survives a crash. Sets `error` (naming `target`) and returns false
// only when the rename did not happen: once it has, the change stands even
// if the folder cannot be flushed (a crash then brings back the old file,
// whole).
bool replaceFile(const QString& source, const QString& target, FileError& error);
// Gives the file `existing` the further name `name` (a hard link; `name`
// must not exist) and flushes the folder. False with `reason` when it cannot,
// as on a file system without links.
bool linkFile(const QString& existing, const QString& name, QString& reason);
// Removes a file and flushes its folder; a missing file is no error. False
// only when the file is still there.
bool removeFile(const QString& path, QString& reason);
// Flushes the folder holding `path`.
bool syncFolderOf(const QString& path, QString& reason);

} // namespace FileIo
