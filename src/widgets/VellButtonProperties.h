#pragma once
// The stored property set of a VellButton and the text form in which the
// windows' button designs are kept.
//
// A design file holds one block per button:
//
//     ' comment line
//     Begin VellButton cmdHelp
//        _extentx = 1270
//        _extenty = 953
//        btype    = 3
//        tx       = "&Help\r\n<F1>"
//        ...
//     End
//
// Keys are found regardless of case. Text values stand in double quotes with
// \r, \n, \" and \\ escaped; colours are &H00BBGGRR& (plain) or &H800000nn&
// (a system colour); Booleans are -1 and 0; a font is "Name, size, bold,
// italic, underline" with only the styles that apply; a picture is a
// resource or file path, or "png:" followed by the picture in base64.
#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPalette>
#include <QString>
#include <utility>

namespace Vell {

class PropertySet {
public:
    // Sets a key, keeping the place of one already there.
    void set(const QString& key, const QString& value);
    bool contains(const QString& key) const;
    QString value(const QString& key, const QString& fallback = QString()) const;
    const QList<std::pair<QString, QString>>& entries() const { return m_entries; }

private:
    QList<std::pair<QString, QString>> m_entries;
};

// The keys of a button's properties in the order they are written.
const QStringList& StoredKeys();

// The blocks of a design file by button name. Lines that are not understood
// are skipped: a damaged design must never keep a window from opening.
QHash<QString, PropertySet> ParseDesigns(const QString& text);
QString FormatDesign(const QString& name, const PropertySet& set);

QString EncodeText(const QString& text);
QString DecodeText(const QString& stored);
QString EncodeColour(const QColor& c);
// An unreadable value gives `fallback`; system colours come from `system`.
QColor DecodeColour(const QString& stored, const QPalette& system, const QColor& fallback);
QString EncodeBool(bool b);
bool DecodeBool(const QString& stored, bool fallback);
int DecodeInt(const QString& stored, int fallback);
QString EncodeFont(const QFont& f);
QFont DecodeFont(const QString& stored, const QFont& fallback);
// A picture's stored form: its source when it came from one, else its pixels.
QString EncodePicture(const QImage& picture, const QString& source);
QImage DecodePicture(const QString& stored);

// The stored design of button `buttonName` on window class `windowClass`,
// read from the program's resources (":/buttons/<windowClass>.vbd"); an
// empty set when there is none.
PropertySet DesignFor(const QString& windowClass, const QString& buttonName);

} // namespace Vell
