#include "CsvReader.h"

CsvParse ParseCsv(const QByteArray& bytes)
{
    CsvParse out;
    if (!bytes.startsWith("\xEF\xBB\xBF")) {
        out.error = QStringLiteral("no byte-order mark");
        return out;
    }
    const QString text = QString::fromUtf8(bytes.mid(3));
    QStringList row;
    QString field;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        if (text[i] == u'"') {
            ++i;
            for (;;) {
                if (i >= n) {
                    out.error = QStringLiteral("unterminated quote");
                    return out;
                }
                if (text[i] == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
            if (i < n && text[i] != u',' && text[i] != u'\r') {
                out.error = QStringLiteral("text after a closing quote at %1").arg(i);
                return out;
            }
        } else {
            while (i < n && text[i] != u',' && text[i] != u'\r') {
                if (text[i] == u'\n' || text[i] == u'"') {
                    out.error = QStringLiteral("bare line feed or quote at %1").arg(i);
                    return out;
                }
                field += text[i++];
            }
        }
        if (i < n && text[i] == u',') {
            row << field;
            field.clear();
            ++i;
            continue;
        }
        // End of the row: CR LF.
        if (i + 1 >= n || text[i + 1] != u'\n') {
            out.error = QStringLiteral("row not ended by CR LF at %1").arg(i);
            return out;
        }
        row << field;
        field.clear();
        out.rows << row;
        row.clear();
        i += 2;
    }
    if (!row.isEmpty() || !field.isEmpty()) {
        out.error = QStringLiteral("last row not ended by CR LF");
        return out;
    }
    out.ok = true;
    return out;
}
