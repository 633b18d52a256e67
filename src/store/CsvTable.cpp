#include "store/CsvTable.h"

#include "store/AnsiText.h"
#include "store/FileIo.h"

#include <QFileInfo>

namespace CsvTable {
namespace {

class Parser {
public:
    explicit Parser(Table& table) : m_table(table) {}

    bool feed(QByteArrayView bytes, QString& error)
    {
        for (const char c : bytes) {
            if (c == '\0') {
                error = QStringLiteral("line %1 holds a NUL byte, which no text file holds").arg(m_line);
                return false;
            }
            if (++m_rowBytes > MaxRowBytes) {
                error = m_state == State::Quoted
                    ? QStringLiteral("the quoted cell that begins on line %1 runs on for more than %2 MB: its "
                                     "closing quote is missing")
                          .arg(m_cellLine)
                          .arg(MaxRowBytes >> 20)
                    : QStringLiteral("the row that begins on line %1 is longer than %2 MB, far longer than any "
                                     "citation")
                          .arg(m_rowLine)
                          .arg(MaxRowBytes >> 20);
                return false;
            }
            const bool lineFeedAfterReturn = m_afterReturn && c == '\n';
            m_afterReturn = c == '\r';
            if ((c == '\n' || c == '\r') && !lineFeedAfterReturn)
                ++m_line;
            // The LF of a CR LF that has ended a row.
            if (lineFeedAfterReturn && m_state == State::CellStart && m_row.isEmpty())
                continue;
            switch (m_state) {
            case State::CellStart:
                if (c == '"') {
                    m_state = State::Quoted;
                    m_quoted = true;
                    m_cellLine = m_line;
                    break;
                }
                m_state = State::Plain;
                [[fallthrough]];
            case State::Plain:
                if (c == ',')
                    endCell();
                else if (c == '\r' || c == '\n')
                    endRow();
                else
                    m_cell.append(c);
                break;
            case State::Quoted:
                if (c == '"')
                    m_state = State::QuoteInQuoted;
                else
                    m_cell.append(c);
                break;
            case State::QuoteInQuoted:
                if (c == '"') {
                    m_cell.append(c);
                    m_state = State::Quoted;
                } else if (c == ',') {
                    endCell();
                } else if (c == '\r' || c == '\n') {
                    endRow();
                } else {
                    error = QStringLiteral("on line %1 a quoted cell is followed by other text before the next "
                                           "comma")
                                .arg(m_line);
                    return false;
                }
                break;
            }
        }
        return true;
    }

    bool finish(QString& error)
    {
        if (m_state == State::Quoted) {
            error = QStringLiteral("the quoted cell that begins on line %1 is never closed").arg(m_cellLine);
            return false;
        }
        if (m_state != State::CellStart || !m_row.isEmpty())
            endRow();
        return true;
    }

    QList<QList<QByteArray>> rows;

private:
    enum class State { CellStart, Plain, Quoted, QuoteInQuoted };

    void endCell()
    {
        m_row.append(m_cell);
        m_cell.clear();
        m_state = State::CellStart;
        m_quoted = false;
    }

    void endRow()
    {
        const bool blank = m_row.isEmpty() && m_cell.isEmpty() && !m_quoted;
        endCell();
        if (!blank) {
            rows.append(std::move(m_row));
            m_table.lines.append(m_rowLine);
        }
        m_row = {};
        m_rowBytes = 0;
        m_rowLine = m_line;
    }

    Table& m_table;
    State m_state = State::CellStart;
    QByteArray m_cell;
    QList<QByteArray> m_row;
    bool m_quoted = false;
    bool m_afterReturn = false;
    qint64 m_rowBytes = 0;
    qint64 m_line = 1;
    qint64 m_rowLine = 1;
    qint64 m_cellLine = 1;
};

QByteArray withoutByteOrderMark(QByteArray cell)
{
    if (cell.startsWith("\xEF\xBB\xBF"))
        cell.remove(0, 3);
    return cell;
}

// The cells as text: UTF-8 when the file says so by its byte-order mark or
// when every cell is valid UTF-8, else Windows-1252 (what older
// spreadsheets and handheld devices write).
void decode(QList<QList<QByteArray>>& raw, Table& table)
{
    bool utf8 = !raw.isEmpty() && !raw.first().isEmpty() && raw.first().first().startsWith("\xEF\xBB\xBF");
    if (!raw.isEmpty() && !raw.first().isEmpty())
        raw.first().first() = withoutByteOrderMark(raw.first().first());
    if (!utf8) {
        utf8 = true;
        for (const QList<QByteArray>& row : raw) {
            for (const QByteArray& cell : row)
                if (!QByteArrayView(cell).isValidUtf8()) {
                    utf8 = false;
                    break;
                }
            if (!utf8)
                break;
        }
    }
    table.utf8 = utf8;
    table.rows.reserve(raw.size());
    for (QList<QByteArray>& row : raw) {
        QStringList cells;
        cells.reserve(row.size());
        for (const QByteArray& cell : row)
            cells.append(utf8 ? QString::fromUtf8(cell) : Ansi::decode(cell));
        table.rows.append(std::move(cells));
        row = {};
    }
    raw.clear();
}

} // namespace

bool parse(QByteArrayView bytes, Table& table, QString& error)
{
    table = Table();
    if (bytes.size() > MaxFileBytes) {
        error = QStringLiteral("it is larger than %1 GB").arg(MaxFileBytes >> 30);
        return false;
    }
    Parser parser(table);
    if (!parser.feed(bytes, error) || !parser.finish(error))
        return false;
    decode(parser.rows, table);
    return true;
}

bool read(const QString& path, Table& table, QString& error, const Progress& progress)
{
    table = Table();
    const QString name = QFileInfo(path).fileName();
    auto fail = [&](const QString& why) {
        error = QStringLiteral("The file \"%1\" could not be read: %2.").arg(name, why);
        return false;
    };
    FileIo::File file;
    QString what;
    if (!file.open(path, FileIo::File::ReadOnly, what)) {
        error = QStringLiteral("The file \"%1\" %2.").arg(name, what);
        return false;
    }
    const qint64 size = file.size();
    if (size < 0)
        return fail(file.reason());
    if (size > MaxFileBytes)
        return fail(QStringLiteral("it is larger than %1 GB").arg(MaxFileBytes >> 30));
    Parser parser(table);
    constexpr qint64 Block = 4 << 20;
    QByteArray block(Block, Qt::Uninitialized);
    qint64 at = 0;
    while (true) {
        if (progress && !progress(at, size)) {
            error.clear();
            return false;
        }
        const qint64 got = file.readAt(at, block.data(), Block);
        if (got < 0)
            return fail(file.reason());
        if (got == 0)
            break;
        at += got;
        if (at > MaxFileBytes)
            return fail(QStringLiteral("it is larger than %1 GB").arg(MaxFileBytes >> 30));
        QString why;
        if (!parser.feed(QByteArrayView(block.constData(), got), why))
            return fail(why);
    }
    QString why;
    if (!parser.finish(why))
        return fail(why);
    decode(parser.rows, table);
    return true;
}

} // namespace CsvTable
