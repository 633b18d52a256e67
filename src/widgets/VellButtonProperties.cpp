#include "widgets/VellButtonProperties.h"

#include "widgets/VellButtonPainter.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>

// The designs live in the core library's resources; a static library needs
// them registered by hand before the first look-up.
static void registerButtonResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(vellbuttons);
        return true;
    }();
    (void)done;
}

namespace Vell {

void PropertySet::set(const QString& key, const QString& value)
{
    for (auto& entry : m_entries) {
        if (entry.first.compare(key, Qt::CaseInsensitive) == 0) {
            entry.second = value;
            return;
        }
    }
    m_entries.append({key.toLower(), value});
}

bool PropertySet::contains(const QString& key) const
{
    for (const auto& entry : m_entries)
        if (entry.first.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString PropertySet::value(const QString& key, const QString& fallback) const
{
    for (const auto& entry : m_entries)
        if (entry.first.compare(key, Qt::CaseInsensitive) == 0)
            return entry.second;
    return fallback;
}

const QStringList& StoredKeys()
{
    static const QStringList keys = {
        QStringLiteral("BTYPE"), QStringLiteral("TX"),    QStringLiteral("ENAB"),   QStringLiteral("FONT"),
        QStringLiteral("COLTYPE"), QStringLiteral("FOCUSR"), QStringLiteral("BCOL"), QStringLiteral("BCOLO"),
        QStringLiteral("FCOL"),  QStringLiteral("FCOLO"), QStringLiteral("MCOL"),   QStringLiteral("MPTR"),
        QStringLiteral("MICON"), QStringLiteral("PICN"),  QStringLiteral("PICH"),   QStringLiteral("UMCOL"),
        QStringLiteral("SOFT"),  QStringLiteral("PICPOS"), QStringLiteral("NGREY"), QStringLiteral("FX"),
        QStringLiteral("CHECK"), QStringLiteral("VALUE"),
    };
    return keys;
}

QString EncodeText(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\': out += QLatin1String("\\\\"); break;
        case u'"': out += QLatin1String("\\\""); break;
        case u'\r': out += QLatin1String("\\r"); break;
        case u'\n': out += QLatin1String("\\n"); break;
        default: out += c; break;
        }
    }
    return out + u'"';
}

QString DecodeText(const QString& stored)
{
    QString s = stored.trimmed();
    if (s.size() < 2 || !s.startsWith(u'"') || !s.endsWith(u'"'))
        return s;
    s = s.mid(1, s.size() - 2);
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] != u'\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const QChar next = s[++i];
        out += next == u'r' ? QChar(u'\r') : next == u'n' ? QChar(u'\n') : next;
    }
    return out;
}

QString EncodeColour(const QColor& c)
{
    return QStringLiteral("&H%1&").arg(ToBgr(c), 8, 16, QLatin1Char('0')).toUpper();
}

namespace {

// The platform colours that stored system-colour numbers stand for.
QColor systemColour(unsigned index, const QPalette& p)
{
    switch (index) {
    case 5: return p.color(QPalette::Active, QPalette::Base);
    case 7:
    case 8: return p.color(QPalette::Active, QPalette::WindowText);
    case 13: return p.color(QPalette::Active, QPalette::Highlight);
    case 14: return p.color(QPalette::Active, QPalette::HighlightedText);
    case 15: return p.color(QPalette::Active, QPalette::Button);
    case 16: return p.color(QPalette::Active, QPalette::Dark);
    case 17: return p.color(QPalette::Disabled, QPalette::Text);
    case 18: return p.color(QPalette::Active, QPalette::ButtonText);
    case 20: return p.color(QPalette::Active, QPalette::Light);
    case 21: return p.color(QPalette::Active, QPalette::Shadow);
    case 22: return p.color(QPalette::Active, QPalette::Midlight);
    case 23: return p.color(QPalette::Active, QPalette::ToolTipText);
    case 24: return p.color(QPalette::Active, QPalette::ToolTipBase);
    default: return p.color(QPalette::Active, QPalette::Window);
    }
}

} // namespace

QColor DecodeColour(const QString& stored, const QPalette& system, const QColor& fallback)
{
    QString s = stored.trimmed();
    if (!s.startsWith(QLatin1String("&H"), Qt::CaseInsensitive))
        return fallback;
    s = s.mid(2);
    if (s.endsWith(u'&'))
        s.chop(1);
    bool ok = false;
    const qulonglong value = s.toULongLong(&ok, 16);
    if (!ok || value > 0xFFFFFFFFull)
        return fallback;
    if (value & 0x80000000ull)
        return systemColour(unsigned(value & 0xFF), system);
    if (value > 0xFFFFFFull)
        return fallback;
    return FromBgr(unsigned(value));
}

QString EncodeBool(bool b)
{
    return b ? QStringLiteral("-1") : QStringLiteral("0");
}

bool DecodeBool(const QString& stored, bool fallback)
{
    const QString s = stored.trimmed();
    if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const int v = s.toInt(&ok);
    return ok ? v != 0 : fallback;
}

int DecodeInt(const QString& stored, int fallback)
{
    bool ok = false;
    const int v = stored.trimmed().toInt(&ok);
    return ok ? v : fallback;
}

QString EncodeFont(const QFont& f)
{
    QStringList parts = {f.family(), QString::number(f.pointSizeF() > 0 ? f.pointSizeF() : 9.0)};
    if (f.bold())
        parts << QStringLiteral("bold");
    if (f.italic())
        parts << QStringLiteral("italic");
    if (f.underline())
        parts << QStringLiteral("underline");
    return parts.join(QLatin1String(", "));
}

QFont DecodeFont(const QString& stored, const QFont& fallback)
{
    const QStringList parts = stored.split(u',');
    if (parts.isEmpty() || parts.first().trimmed().isEmpty())
        return fallback;
    QFont f = fallback;
    f.setFamily(parts.first().trimmed());
    f.setBold(false);
    f.setItalic(false);
    f.setUnderline(false);
    for (qsizetype i = 1; i < parts.size(); ++i) {
        QString part = parts[i].trimmed().toLower();
        if (part == QLatin1String("bold"))
            f.setBold(true);
        else if (part == QLatin1String("italic"))
            f.setItalic(true);
        else if (part == QLatin1String("underline"))
            f.setUnderline(true);
        else {
            if (part.endsWith(QLatin1String("pt")))
                part.chop(2);
            bool ok = false;
            const double size = part.toDouble(&ok);
            if (ok && size >= 1 && size <= 400)
                f.setPointSizeF(size);
        }
    }
    return f;
}

QString EncodePicture(const QImage& picture, const QString& source)
{
    if (picture.isNull())
        return QString();
    if (!source.isEmpty())
        return source;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return QStringLiteral("png:") + QString::fromLatin1(bytes.toBase64());
}

QImage DecodePicture(const QString& stored)
{
    const QString s = stored.trimmed();
    if (s.isEmpty())
        return {};
    QImage image;
    if (s.startsWith(QLatin1String("png:")))
        image.loadFromData(QByteArray::fromBase64(s.mid(4).toLatin1()), "PNG");
    else
        image.load(s);
    return image;
}

QHash<QString, PropertySet> ParseDesigns(const QString& text)
{
    QHash<QString, PropertySet> designs;
    static const QRegularExpression begin(QStringLiteral("^begin\\s+\\S+\\s+(\\S+)\\s*$"),
                                          QRegularExpression::CaseInsensitiveOption);
    QString current;
    PropertySet set;
    bool inBlock = false;
    const QStringList lines = text.split(u'\n');
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'\''))
            continue;
        if (!inBlock) {
            const QRegularExpressionMatch m = begin.match(line);
            if (m.hasMatch()) {
                current = m.captured(1);
                set = PropertySet();
                inBlock = true;
            }
            continue;
        }
        if (line.compare(QLatin1String("end"), Qt::CaseInsensitive) == 0) {
            designs.insert(current, set);
            inBlock = false;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString raw = line.mid(eq + 1).trimmed();
        set.set(key, raw.startsWith(u'"') ? DecodeText(raw) : raw);
    }
    return designs;
}

QString FormatDesign(const QString& name, const PropertySet& set)
{
    static const QStringList textKeys = {QStringLiteral("tx"), QStringLiteral("font"), QStringLiteral("micon"),
                                         QStringLiteral("picn"), QStringLiteral("pich")};
    QString out = QStringLiteral("Begin VellButton ") + name + u'\n';
    for (const auto& [key, value] : set.entries()) {
        const bool text = textKeys.contains(key.toLower());
        out += QStringLiteral("   ") + key.leftJustified(9) + QStringLiteral("= ") + (text ? EncodeText(value) : value)
             + u'\n';
    }
    return out + QStringLiteral("End\n");
}

PropertySet DesignFor(const QString& windowClass, const QString& buttonName)
{
    static QHash<QString, QHash<QString, PropertySet>> cache;
    auto it = cache.find(windowClass);
    if (it == cache.end()) {
        registerButtonResources();
        QHash<QString, PropertySet> designs;
        QFile file(QStringLiteral(":/buttons/") + windowClass + QStringLiteral(".vbd"));
        if (file.open(QIODevice::ReadOnly | QIODevice::Text))
            designs = ParseDesigns(QString::fromUtf8(file.readAll()));
        it = cache.insert(windowClass, designs);
    }
    return it->value(buttonName);
}

} // namespace Vell
