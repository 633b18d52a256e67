#pragma once
// The rows of the citation list: one row per citation with the four cells
// the grid shows and two hidden key cells. A data file may hold a million
// citations, so the rows are kept compact: the shown texts as the file's own
// bytes in one shared block, the date as numbers, nothing decoded until a
// cell is drawn.
#include "store/FileError.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <vector>

class CitationFileView;
class CitationNumberIndex;
struct SearchSettings;

// One row decoded, as the grid shows it.
struct CitationRow {
    QString date;           // column 0: offense date, in the numeric date order
    QString citationNumber; // column 1
    QString offense;        // column 2: code section
    QString location;       // column 3: occurred on " / " occurred at
    int recNum = 0;         // column 4: the record number in the data file
    QString dateSort;       // column 5: "yyyymmdd", plus "hhnn" in a sub-list

    bool operator==(const CitationRow&) const = default;
};

namespace ListColumn {
constexpr int Date = 0;
constexpr int CitationNumber = 1;
constexpr int Offense = 2;
constexpr int Location = 3;
constexpr int RecNum = 4;
constexpr int DateSort = 5;
constexpr int Count = 6;
constexpr int Visible = 4; // columns 0..3 are shown, 4 and 5 are keys
} // namespace ListColumn

// The row of one record (3000 bytes). withTime adds the offense time to the
// date key as a 24-hour "hhnn" so that one day's citations sort in order.
CitationRow CitationRowOf(const char* record, int recNum, bool withTime);

// The rows of the whole file in record order: every citation, or with
// `search` only those whose searched text matches the search settings. Stops
// at a record the view cannot read (its lastError() says why). The plain,
// one-record-at-a-time way; the list itself loads through CitationRows.
QList<CitationRow> ReadCitationRows(CitationFileView& view, const SearchSettings* search);

// Rows in their compact form: per row a few numbers and where its texts lie
// in one byte block (Windows-1252, trimmed, as the file holds them).
class CitationRows {
public:
    struct Packed {
        qint64 text = 0;    // the citation number, code section, occurred on and at, back to back
        quint32 day = 0;    // offense date as yyyymmdd; 0 when the record holds no valid date
        qint32 recNum = 0;
        qint16 time = -1;   // offense time as hhnn in a sub-list; -1 when not part of the key
        quint8 length[4] = {0, 0, 0, 0};
    };

    // The rows in blocks of a few thousand, so that a row added or removed
    // in the middle moves the rows of its block only, not every row after it.
    class Blocks {
    public:
        static constexpr size_t Block = 4096;

        size_t size() const { return m_size; }
        bool empty() const { return m_size == 0; }
        const Packed& operator[](size_t r) const
        {
            const auto [b, i] = locate(r);
            return m_blocks[b][i];
        }
        Packed& operator[](size_t r)
        {
            const auto [b, i] = locate(r);
            return m_blocks[b][i];
        }
        void push_back(const Packed& row);
        // Adds rows at the end: as a block of their own, without copying
        // them, when the blocks are full and they fill one.
        void append(std::vector<Packed>&& rows);
        void insert(size_t at, const Packed& row);
        void erase(size_t at);
        // Replaces every row; the blocks come out full again.
        void assign(const std::vector<Packed>& rows);
        // Replaces every row by n rows to be filled in, in full blocks.
        void resizeFull(size_t n);
        std::vector<Packed> flat() const;
        template <typename F>
        void forEach(F&& f)
        {
            for (std::vector<Packed>& block : m_blocks)
                for (Packed& row : block)
                    f(row);
        }
        // The index of the first row for which f is true, or -1.
        template <typename F>
        qsizetype indexOf(F&& f) const
        {
            qsizetype at = 0;
            for (const std::vector<Packed>& block : m_blocks)
                for (const Packed& row : block) {
                    if (f(row))
                        return at;
                    ++at;
                }
            return -1;
        }
        template <typename F>
        void forEach(F&& f) const
        {
            for (const std::vector<Packed>& block : m_blocks)
                for (const Packed& row : block)
                    f(row);
        }

    private:
        std::pair<size_t, size_t> locate(size_t r) const;
        std::vector<std::vector<Packed>> m_blocks;
        std::vector<size_t> m_starts; // the first row of each block
        size_t m_size = 0;
        bool m_full = true; // every block but the last holds Block rows
    };

    int size() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    void reserve(qsizetype rows, qsizetype textBytes);
    // Adds the row of one record (3000 bytes) at the end.
    void append(const char* record, int recNum, bool withTime);
    // Adds the row of a citation given by its parts, as append(record...)
    // does for a record holding them: the citation number, code section,
    // occurred on and occurred at as Windows-1252 bytes (blanks at either
    // end are dropped), and the offense date and time values.
    void append(const QByteArrayView (&texts)[4], double offenseDate, double offenseTime, int recNum, bool withTime);
    // Adds rows made by `from.packed()` at the end: from's texts are added
    // after this one's (by takeTexts, once) and the rows' places in them
    // moved by the shift it returned.
    qint64 takeTexts(CitationRows& from);
    void append(std::vector<Packed>&& rows, qint64 textShift);
    // Puts the rows in the order of their record numbers (keys), when they
    // are not in it already.
    void sortByKey();
    // A row for `record` whose texts are stored at the end of the block, not placed.
    Packed packed(const char* record, int recNum, bool withTime);

    // The width in the record of text t (as textOf numbers them).
    static int textWidth(int t);

    const Packed& at(int r) const { return m_rows[size_t(r)]; }
    // The bytes of text t (0 citation number, 1 code section, 2 occurred on, 3 occurred at).
    const char* textOf(const Packed& row, int t, int* length) const;
    CitationRow decoded(int r) const;
    QString cellText(int r, int column) const;

private:
    friend class CitationListModel;
    friend struct ListFileRows; // the list file writes and makes the rows whole
    Packed packedOf(const QByteArrayView (&texts)[4], double offenseDate, double offenseTime, int recNum,
                    bool withTime);
    Blocks m_rows;
    QByteArray m_text;
};

// Reads the rows of data file fileName (the usual one when empty) in record
// order, as ReadCitationRows does, splitting a large file between two threads.
// A missing file gives no rows. When a record cannot be read, the rows before
// it stand and error says why. A file of splitFrom records or more is split.
// fileLength, when given, gets the file's length in bytes as it was read.
// numbers, when given (for the whole list, without a search), is filled with
// every record's citation number by the threads that read them; it is left
// empty, to be built at its next look-up, when the file could not be read
// whole or changed meanwhile.
// The threads take stretchRecords records at a time (a whole block of rows
// by default; tests take fewer to make many stretches of a small file).
constexpr int SplitRowsFrom = 4000;
CitationRows LoadCitationRows(const QString& fileName, const SearchSettings* search, FileError& error,
                              int splitFrom = SplitRowsFrom, qint64* fileLength = nullptr,
                              CitationNumberIndex* numbers = nullptr,
                              int stretchRecords = int(CitationRows::Blocks::Block));
