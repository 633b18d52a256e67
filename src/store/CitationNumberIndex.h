#pragma once
// Which records carry a citation number, so that saving can warn about a
// number already on file without reading the whole file each time.
//
// The index is taken from the main window's full list when it is read (the
// list holds every number already), or else built on first use by one pass
// over the file, and is kept up to date by the saves and deletions that
// report to it. It remembers which file it describes (its identity, length
// and time of change): anything else that replaced or changed the file (a
// restore, a conversion, another program) makes the next look-up build it
// afresh. An entry only names a candidate, by a hash coarser than the
// comparison; every match is confirmed by reading the record.
#include "store/FileError.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class CitationNumberIndex {
public:
    explicit CitationNumberIndex(QString fileName = QString());
    ~CitationNumberIndex();
    CitationNumberIndex(const CitationNumberIndex&) = delete;
    CitationNumberIndex& operator=(const CitationNumberIndex&) = delete;

    // How numbers are compared: blanks at both ends ignored, case ignored.
    static QString normalised(const QString& number);

    // The records (ascending) whose citation number equals `number`, other
    // than `except`. False when the file could not be read (error says why).
    bool find(const QString& number, int except, QList<int>& records, FileError& error);

    // Whether the index is built and still describes the file as it is.
    bool isCurrent() const { return m_built && stampNow() == m_stamp; }

    // A save wrote record n with `number` (n beyond the last record: added);
    // `oldNumber` is what the record held before. `wasCurrent` is isCurrent()
    // asked just before the write: only then is the index brought up to date,
    // else it is built afresh at the next look-up.
    void recordWritten(int n, const QString& oldNumber, const QString& number, bool wasCurrent);

    // Record n was removed and the records after it moved up by one.
    // `wasCurrent` is isCurrent() asked just before the removal.
    void recordRemoved(int n, bool wasCurrent);

    // What the file was like at one moment, for adopt().
    struct Stamp {
        bool exists = false;
        quint64 device = 0, inode = 0;
        qint64 size = 0, modified = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    Stamp stampNow() const;
    // Takes the numbers of all `count` records of the file from a list just
    // read from it: numberOf(n) gives record n's citation number as the
    // file's bytes. `before` is stampNow() taken before the list was read;
    // a file changed since is left to be read at the next look-up.
    void adopt(const Stamp& before, int count, const std::function<QByteArrayView(int n)>& numberOf);

    // The same filled by the threads that read the file for the list, each
    // for its own records: beginFill() with the number of records, then
    // fill(n, ...) exactly once for every record n (from any thread, at the
    // same time), then endFill() once they are done; `complete` false when a
    // record could not be read. Nothing else may use the index in between.
    // The threads only note each number's key; endFill() puts them in the
    // table on a thread of its own, so the list shows without waiting for
    // it, and whatever uses the index next waits for it if it must.
    void beginFill(int count);
    void fill(int n, QByteArrayView number) { m_keys[size_t(n - 1)] = keyOf(number); }
    // `fillFirst`, when given, makes those fill() calls itself on that
    // thread, before the table: for numbers already at hand, as a list file's.
    void endFill(const Stamp& before, int count, bool complete, std::function<void()> fillFirst = {});
    // Waits until the table endFill() began is made.
    void waitForFill();

    // Forgets everything; the next look-up builds the index afresh.
    void invalidate();
    bool isBuilt() const { return m_built; }
    int builds() const { return m_builds; } // how often the file was read whole

private:
    bool build(FileError& error);
    static quint64 keyOf(const QString& number);
    static quint64 keyOf(QByteArrayView number);

    // Record numbers by the hash of their number in one flat table, open
    // addressed: a million citations cost 32 MB and no allocation apiece.
    class Table {
    public:
        void clear();
        void reserve(qsizetype entries);
        void insert(quint64 key, int recNum);
        bool erase(quint64 key, int recNum);
        QList<int> find(quint64 key) const;
        // Record recNum is gone and the ones after it move up by one.
        void removeRecord(int recNum);

    private:
        static constexpr qint32 Empty = 0;
        static constexpr qint32 Removed = -1;
        struct Slot {
            quint64 key = 0;
            qint32 recNum = Empty;
        };
        size_t home(quint64 key) const;
        void rehash(size_t length);

        std::vector<Slot> m_slots; // a power of two in size, at most half in use
        size_t m_used = 0;         // slots holding an entry or a removed mark
        size_t m_live = 0;         // slots holding an entry
    };

    QString m_fileName;
    bool m_built = false;
    Stamp m_stamp;
    int m_count = 0;
    int m_builds = 0;
    Table m_records; // hash of the number -> record numbers
    std::unique_ptr<quint64[]> m_keys; // while filled: record n's key at n - 1
    std::thread m_filling; // puts the filled keys in m_records
};

// The index of the data file the program works on.
CitationNumberIndex& citationNumberIndex();
