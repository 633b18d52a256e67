#pragma once
// Where an installation keeps its data, behind one seam: the data folder's
// three files for one desk, or an agency's PostgreSQL server for several.
// The windows, printouts, export, statistics, backup and sennet-data speak
// to these interfaces only, in the program's own terms, never in file
// offsets or SQL.
//
// Every operation reports failure through a FileError whose message() is the
// sentence a user is shown: for the folder the file's own wording ("The file
// "Sennet.Data" could not be written: ..."), for a server one that names the
// server and its reason.
#include "platform/Progress.h"
#include "store/CitationRecord.h"
#include "store/CitationRows.h"
#include "store/CitationSource.h"
#include "store/FileError.h"
#include "store/SearchSettings.h"
#include "store/UserRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class AuditStore;

// A citation's key. In the data folder it is the record number (from 1): a
// deletion moves every later citation up by one, so keys after it shift
// (keysShiftOnDelete). On a server it is the row's id, which never changes.
// The list rows carry it in their recNum.
using CitationKey = qint32;

// A user's key: the folder's record number in "User.List" (shifting like a
// citation's), a server's row id.
using UserKey = qint32;

struct StoredUser {
    UserKey key = 0;
    UserRecord record;
};

// Who acts at this desk: a server records it as who created or changed a row.
struct StoreActor {
    QString userName;
    int accessLevel = 0;
    QString desk; // the host name
};

// A citation's version and who made it. On a server every change counts the
// row's version up; a save or delete names the version the user was shown,
// and is refused when another desk changed the row since. The folder keeps
// no versions (0) and refuses nothing for them: one desk works on it.
struct RowStamp {
    qint64 version = 0;
    QString user;   // who made this version, empty when unknown
    QString desk;   // at which desk (its host name)
    QDateTime when; // local time; invalid when unknown
};

// Why a checked write was refused.
enum class RowConflict {
    None,
    Changed,     // another desk changed the citation since it was shown (WriteCheck::current says who)
    Deleted,     // another desk deleted it
    NumberTaken, // another desk saved a citation with this number since the user was asked
};

// What a checked write is to make sure of, and what it found.
struct WriteCheck {
    // In: the version the user was shown (save, remove); 0 checks nothing.
    qint64 shownVersion = 0;
    // In: when set, the write is refused (NumberTaken) if a citation with
    // the record's number, other than those in knownDuplicates (the keys
    // the user was told about), is on file by then.
    bool checkNumber = false;
    QList<CitationKey> knownDuplicates;
    // Out: why it was refused (the call then returns false with error set
    // to a sentence too), and for Changed the citation's stamp now.
    RowConflict conflict = RowConflict::None;
    RowStamp current;
};

class CitationStore {
public:
    virtual ~CitationStore() = default;

    // True when a deletion moves every later key down by one (the folder).
    virtual bool keysShiftOnDelete() const = 0;

    // The list: every citation (search null), or those the search matches in
    // its scope, in key order. A sub-list's date keys include the offense
    // time. On a failure the rows read before it stand and error says why.
    // For the whole list the store may remember every citation number as it
    // reads them, for findNumber.
    virtual CitationRows listRows(const SearchSettings* search, FileError& error) = 0;

    // The number of citations; -1 when it could not be found out.
    virtual int count(FileError& error) = 0;

    virtual bool read(CitationKey key, CitationRecord& record, FileError& error) = 0;
    // Adds one citation; key gets its key. Nothing is added on failure.
    virtual bool add(const CitationRecord& record, CitationKey& key, FileError& error) = 0;
    // Replaces the citation under key. On failure it stays as it was.
    virtual bool save(CitationKey key, const CitationRecord& record, FileError& error) = 0;
    // Removes the citation under key. On failure nothing is removed.
    virtual bool remove(CitationKey key, FileError& error, const ProgressFn& progress = {}) = 0;
    // Adds many citations in one step: all of them or, on failure, none.
    // firstKey gets the first one's key (the folder's keys then follow on).
    virtual bool addAll(const std::vector<CitationRecord>& records, CitationKey& firstKey, FileError& error) = 0;

    // The keys (ascending) of the citations whose number equals `number`,
    // blanks at both ends and case ignored, other than `except` (0: none).
    virtual bool findNumber(const QString& number, CitationKey except, QList<CitationKey>& keys,
                            FileError& error) = 0;

    // Visits every citation in key order with its record's 3000 bytes (valid
    // during the call); stops early when visit returns false. For export,
    // statistics, checks and copies.
    virtual bool forEach(const std::function<bool(CitationKey key, const char* record)>& visit, FileError& error) = 0;

    // Visits the citations under `keys` in that order (the list on display,
    // for export and statistics), each with its record's 3000 bytes, valid
    // during the call; stops early when visit returns false, which is no
    // failure. False when one could not be read (error says why; those
    // before it were visited). This one reads them one by one; a store that
    // can fetch many at once does better.
    virtual bool forKeys(const QList<CitationKey>& keys,
                         const std::function<bool(CitationKey key, const char* record)>& visit, FileError& error);

    // As read, and the citation's stamp (the folder's is empty).
    virtual bool readStamped(CitationKey key, CitationRecord& record, RowStamp& stamp, FileError& error)
    {
        stamp = {};
        return read(key, record, error);
    }
    // As add, save and remove, refused when `check` finds another desk's
    // change in the way (check.conflict says which); nothing is written
    // then. The folder's are the plain ones: it has no other desks.
    virtual bool addChecked(const CitationRecord& record, CitationKey& key, WriteCheck& check, FileError& error)
    {
        check.conflict = RowConflict::None;
        return add(record, key, error);
    }
    virtual bool saveChecked(CitationKey key, const CitationRecord& record, WriteCheck& check, FileError& error)
    {
        check.conflict = RowConflict::None;
        return save(key, record, error);
    }
    virtual bool removeChecked(CitationKey key, WriteCheck& check, FileError& error, const ProgressFn& progress = {})
    {
        check.conflict = RowConflict::None;
        return remove(key, error, progress);
    }

    // Something the user should be told once about the citations the last
    // listRows read (the folder: a data file whose length is not whole
    // records), and in `token` what tells this finding from a later one.
    // Empty when there is nothing to tell.
    virtual QString listWarning(qint64& token) const
    {
        token = 0;
        return QString();
    }
};

class UserStore {
public:
    virtual ~UserStore() = default;
    // Every user in the order they were added.
    virtual bool list(QList<StoredUser>& users, FileError& error) = 0;
    // One user; this one looks through list(), a store may do better.
    virtual bool read(UserKey key, UserRecord& user, FileError& error);
    virtual bool add(const UserRecord& user, UserKey& key, FileError& error) = 0;
    virtual bool save(UserKey key, const UserRecord& user, FileError& error) = 0;
    // A folder's later keys shift down by one, as a citation's.
    virtual bool remove(UserKey key, FileError& error) = 0;
};

// The user log: one line per log-in and log-out, only ever appended.
class UserLogStore {
public:
    virtual ~UserLogStore() = default;
    // Appends one line (without its CR LF); the whole line or nothing.
    virtual bool append(const QString& line, FileError& error) = 0;
    // The whole log as the folder's "User.Log" holds it: Windows-1252 lines,
    // each ended by CR LF. For the log view, backups and copies.
    virtual bool readAll(QByteArray& log, FileError& error) = 0;
    // The latest lines only, at most `limitLines` lines and `limitBytes`
    // bytes of them; partial is set when earlier lines were left out.
    virtual bool readLatest(int limitLines, qint64 limitBytes, QByteArray& log, bool& partial, FileError& error) = 0;
};

// Settings every desk of an installation must share.
class SharedSettings {
public:
    virtual ~SharedSettings() = default;
    // The access code of user administration, made and kept on first need.
    virtual QString accessCode() = 0;
    // Any other shared value by section and key (a name's failed log-ins,
    // say), empty when absent; an empty value removes it. The folder keeps
    // them in this desk's settings store, a server in its table, so that
    // every desk sees them.
    virtual QString value(const QString& section, const QString& key) = 0;
    virtual bool setValue(const QString& section, const QString& key, const QString& value) = 0;
};

// Everything a store holds, in the folder's own encodings: what a backup
// writes, a restore reads and sennet-data copy moves between two stores.
struct StoreContents {
    std::vector<CitationRecord> citations; // in key order
    QList<UserRecord> users;               // in the order added
    QByteArray userLog;                    // the bytes of "User.Log"
};

// A change another desk made to the citations, as the server tells it.
struct CitationChange {
    enum class Kind {
        Added,
        Changed,
        Deleted,
        Many, // too many to name one by one (an import, a restore): read the list again
    };
    Kind kind = Kind::Many;
    CitationKey key = 0;
    qint64 version = 0;
};

// The state of the link a desk keeps to its server for hearing changes.
enum class ServerLink {
    Lost, // the server cannot be reached; the feed tries again by itself, waiting longer each time
    Back, // reached again: changes made meanwhile were not heard, so read the list again
};

// While it lives, tells this desk what the other desks change. Calls come
// on the thread that made it, from its event loop, never inside a call to
// the store.
// The storage that made it must outlive it (a server's feed listens on a
// second connection beside the storage's own); a call may destroy it.
class ChangeFeed {
public:
    virtual ~ChangeFeed() = default;
};

class Storage {
public:
    virtual ~Storage() = default;

    virtual bool isServer() const = 0;
    // For the title page's tool tip and messages: the data folder's path, or
    // the server's host and database.
    virtual QString description() const = 0;

    virtual CitationStore& citations() = 0;
    virtual UserStore& users() = 0;
    virtual UserLogStore& userLog() = 0;
    virtual SharedSettings& shared() = 0;
    // The audit trail: the folder's "Sennet.Audit", or a server's table
    // written in the same transaction as each change it records.
    virtual AuditStore& audit() = 0;

    // Who acts from now on (set at each log-in).
    virtual void setActor(const StoreActor& actor) = 0;

    // Starts hearing the other desks' changes: `changed` gets them a few at
    // a time (this desk's own are left out), `link` is told when the server
    // is lost and when it is back. Null where there are no other desks (the
    // folder).
    virtual std::unique_ptr<ChangeFeed> followChanges(std::function<void(const QList<CitationChange>&)> changed,
                                                      std::function<void(ServerLink)> link)
    {
        (void)changed;
        (void)link;
        return nullptr;
    }

    // The other desks working on this store now, each as "<desk> (<user>)",
    // for a restore that must not replace what they are looking at. The
    // folder has none.
    virtual bool otherDesks(QStringList& desks, FileError& error)
    {
        (void)error;
        desks.clear();
        return true;
    }

    // A consistent copy of everything, as of one moment.
    virtual bool readContents(StoreContents& contents, FileError& error) = 0;
    // Replaces everything by `contents` in one step: on failure the store is
    // as it was.
    virtual bool replaceContents(const StoreContents& contents, FileError& error) = 0;
};

// The storage this run works on. Until one is set it is the data folder
// (the working folder), as every run without a server uses.
Storage& storage();
// Replaces it (at start, and in tests); nullptr goes back to the folder.
void setStorage(std::unique_ptr<Storage> replacement);

// A store's citations as a source for export and statistics (the store must
// outlive it).
CitationSource SourceOf(CitationStore& store);

// While a store waits on something slower than a disk (a server's answer),
// the indicator is told true before and false after, so the program can show
// the wait pointer whichever window asked. Unset (tools, most tests) nothing
// is told.
void setStoreWaitIndicator(std::function<void(bool waiting)> indicator);

// Tells the indicator for as long as it lives.
class StoreWait {
public:
    StoreWait();
    ~StoreWait();
    StoreWait(const StoreWait&) = delete;
    StoreWait& operator=(const StoreWait&) = delete;

private:
    bool m_told;
};
