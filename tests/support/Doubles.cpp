#include "Doubles.h"

#include <QMap>
#include <QRegularExpression>

ScriptedMessages::ScriptedMessages() { setMessageService(this); }
ScriptedMessages::~ScriptedMessages() { setMessageService(nullptr); }

ScriptedMessages& ScriptedMessages::expect(const QString& text, const QString& caption, int flags, int answer,
                                           std::function<void()> during)
{
    Expected e;
    e.text = text;
    e.caption = caption;
    e.flags = flags;
    e.answer = answer;
    e.during = std::move(during);
    m_queue.append(e);
    return *this;
}

ScriptedMessages& ScriptedMessages::expectMatching(const QString& pattern, const QString& caption, int flags,
                                                   int answer)
{
    expect(pattern, caption, flags, answer);
    m_queue.last().matching = true;
    return *this;
}

ScriptedMessages& ScriptedMessages::expectPassword(const QString& prompt, const QString& title, const QString& answer)
{
    expectInput(prompt, title, QString(), answer);
    m_queue.last().password = true;
    return *this;
}

ScriptedMessages& ScriptedMessages::expectInput(const QString& prompt, const QString& title, const QString& preset,
                                                const QString& answer)
{
    Expected e;
    e.input = true;
    e.text = prompt;
    e.caption = title;
    e.preset = preset;
    e.inputAnswer = answer;
    m_queue.append(e);
    return *this;
}

QString ScriptedMessages::report() const
{
    QStringList out = m_failures;
    for (const Expected& e : m_queue)
        out << QStringLiteral("expected but not shown: [%1] %2").arg(e.caption, e.text);
    out << QStringLiteral("shown: ") + shown.join(QStringLiteral(" || "));
    return out.join(u'\n');
}

namespace {
QString visible(QString s) { return s.replace(QLatin1String("\r\n"), QLatin1String("<CRLF>")); }
} // namespace

int ScriptedMessages::msgBox(const QString& text, int flags, const QString& caption)
{
    shown << caption + QStringLiteral(": ") + visible(text);
    const int fallback = Msg::buttonsOf(flags) == Msg::OKOnly ? int(Msg::OK) : int(Msg::Cancel);
    if (m_queue.isEmpty() || m_queue.first().input) {
        m_failures << QStringLiteral("unexpected box [%1] %2 (flags %3)").arg(caption, visible(text)).arg(flags);
        return fallback;
    }
    const Expected e = m_queue.takeFirst();
    const bool textFits = e.matching ? QRegularExpression(e.text).match(text).hasMatch() : e.text == text;
    if (!textFits || e.caption != caption || e.flags != flags) {
        m_failures << QStringLiteral("box differs:\n  expected [%1] %2 (flags %3)\n  shown    [%4] %5 (flags %6)")
                          .arg(e.caption, visible(e.text))
                          .arg(e.flags)
                          .arg(caption, visible(text))
                          .arg(flags);
    }
    if (e.during)
        e.during();
    return e.answer;
}

QString ScriptedMessages::inputBox(const QString& prompt, const QString& title, const QString& preset)
{
    return answerInput(prompt, title, preset, false);
}

QString ScriptedMessages::passwordBox(const QString& prompt, const QString& title)
{
    return answerInput(prompt, title, QString(), true);
}

QString ScriptedMessages::answerInput(const QString& prompt, const QString& title, const QString& preset, bool password)
{
    shown << (password ? QStringLiteral("password ") : QStringLiteral("input ")) + title + QStringLiteral(": ")
            + visible(prompt);
    if (m_queue.isEmpty() || !m_queue.first().input) {
        m_failures << QStringLiteral("unexpected input box [%1] %2").arg(title, visible(prompt));
        return QString();
    }
    const Expected e = m_queue.takeFirst();
    if (e.password != password)
        m_failures << QStringLiteral("%1 box expected, %2 box shown: [%3]")
                          .arg(e.password ? "password" : "input", password ? "password" : "input", title);
    if (e.text != prompt || e.caption != title || e.preset != preset)
        m_failures << QStringLiteral("input box differs: expected [%1] %2 (%3), shown [%4] %5 (%6)")
                          .arg(e.caption, visible(e.text), e.preset, title, visible(prompt), preset);
    return e.inputAnswer;
}

MemorySettings::MemorySettings() { setSettingsStore(this); }
MemorySettings::~MemorySettings() { setSettingsStore(nullptr); }

QString MemorySettings::get(const QString& section, const QString& key, const QString& fallback)
{
    return values.value(section + u'/' + key, fallback);
}

bool MemorySettings::save(const QString& section, const QString& key, const QString& value)
{
    if (failSaves)
        return false;
    values.insert(section + u'/' + key, value);
    return true;
}

FixedClock::FixedClock(const QDateTime& m) : moment(m) { setClock(this); }
FixedClock::~FixedClock() { setClock(nullptr); }

FakeScreen::FakeScreen(int width, int height, double d) : size(width, height), dpi(d) { setScreenMetrics(this); }
FakeScreen::~FakeScreen() { setScreenMetrics(nullptr); }

FakeFolderPicker::FakeFolderPicker() { setFolderPicker(this); }
FakeFolderPicker::~FakeFolderPicker() { setFolderPicker(nullptr); }

QString FakeFolderPicker::browseForFolder(const QString& title)
{
    titles << title;
    return answers.isEmpty() ? QString() : answers.takeFirst();
}

FakeSaveDialog::FakeSaveDialog() { setSaveFileDialog(this); }
FakeSaveDialog::~FakeSaveDialog() { setSaveFileDialog(nullptr); }

QString FakeSaveDialog::saveFileName(const QString&, const QString& suggested, const QStringList& filters,
                                     int& chosenFilter)
{
    suggestions << suggested;
    filtersSeen = filters;
    if (answers.isEmpty())
        return QString();
    const Answer a = answers.takeFirst();
    chosenFilter = a.filter;
    return a.path;
}

RecordingPrinter::RecordingPrinter() { setPrinter(this); }
RecordingPrinter::~RecordingPrinter() { setPrinter(nullptr); }

void RecordingPrinter::record(const QString& what)
{
    operations.append({what, pages, m_x, m_y});
    if (duringPrint)
        duringPrint();
}

bool RecordingPrinter::beginDocument(const QString& documentTitle)
{
    record(QStringLiteral("begin"));
    m_error.clear();
    if (refuseToBegin) {
        m_error = failure;
        return false;
    }
    ++documents;
    title = documentTitle;
    begun = true;
    ended = false;
    pages = 1;
    m_x = m_y = 0;
    return true;
}

void RecordingPrinter::setFont(const PrintFont& font)
{
    operations.append({QStringLiteral("font"), pages, m_x, m_y});
    m_font = font;
}

void RecordingPrinter::setCurrentX(double inches)
{
    operations.append({QStringLiteral("x=%1").arg(inches), pages, m_x, m_y});
    m_x = inches;
}

void RecordingPrinter::setCurrentY(double inches)
{
    operations.append({QStringLiteral("y=%1").arg(inches), pages, m_x, m_y});
    m_y = inches;
}

void RecordingPrinter::print(const QString& text, bool endLine)
{
    if (!text.isEmpty())
        record(QStringLiteral("print(%1)").arg(text));
    if (endLine)
        record(QStringLiteral("endLine"));
    if (!text.isEmpty())
        items.append({pages, m_x, m_y, text, m_font});
    if (endLine) {
        m_x = 0;
        m_y += textHeight();
    } else {
        m_x += textWidth(text);
    }
}

double RecordingPrinter::textWidth(const QString& text) const { return text.size() * 0.6 * m_font.size / 72.0; }
double RecordingPrinter::textHeight() const { return 1.2 * m_font.size / 72.0; }

void RecordingPrinter::newPage()
{
    record(QStringLiteral("newPage"));
    ++pages;
    m_x = m_y = 0;
}

bool RecordingPrinter::endDocument()
{
    record(QStringLiteral("end"));
    ended = true;
    m_error = failure;
    return failure.isEmpty();
}

QMap<qint64, QString> RecordingPrinter::placedLines(int page) const
{
    constexpr double Margin = 1.0;
    constexpr double Column = 1.0 / 12.0;
    constexpr double Tolerance = 1e-6;
    QMap<qint64, QString> text;
    QMap<qint64, double> end; // where the line's last text ends
    for (const Item& i : items) {
        if (i.page != page)
            continue;
        const qint64 key = qint64(i.y * 1000 + 0.5);
        const double from = end.value(key, Margin);
        const double columns = (i.x - from) / Column;
        const bool onGrid = qAbs(columns - qRound(columns)) < Tolerance;
        QString& line = text[key];
        if (i.x < Margin - Tolerance || columns < -Tolerance || !onGrid)
            line += QStringLiteral("[x=%1]").arg(i.x, 0, 'f', 3);
        else
            line += QString(qRound(columns), u' ');
        line += i.text;
        end[key] = i.x + i.text.size() * 0.6 * i.font.size / 72.0;
    }
    return text;
}

QStringList RecordingPrinter::lines(int page) const { return placedLines(page).values(); }

double RecordingPrinter::lineY(const QString& line, int page) const
{
    const QMap<qint64, QString> byY = placedLines(page);
    for (auto it = byY.cbegin(); it != byY.cend(); ++it)
        if (it.value() == line)
            return double(it.key()) / 1000;
    return -1;
}

QList<RecordingPrinter::Item> RecordingPrinter::itemsStartingWith(const QString& start) const
{
    QList<Item> out;
    for (const Item& i : items)
        if (i.text.startsWith(start))
            out << i;
    return out;
}

QStringList RecordingPrinter::operationNames() const
{
    QStringList out;
    for (const Operation& o : operations)
        out << o.what;
    return out;
}

ScriptedPrintOutput::ScriptedPrintOutput() { setPrintOutputChooser(this); }
ScriptedPrintOutput::~ScriptedPrintOutput() { setPrintOutputChooser(nullptr); }

PrintDestination ScriptedPrintOutput::chooseDestination(const QString&, bool printerInstalled)
{
    installedSeen << printerInstalled;
    return destination;
}

QString ScriptedPrintOutput::pdfFileName(const QString&) { return pdfFile; }

ScriptedProgress::ScriptedProgress() { setProgressView(this); }
ScriptedProgress::~ScriptedProgress() { setProgressView(nullptr); }

void ScriptedProgress::begin(const QString& caption, const QString& label, bool cancellable)
{
    shown.append({caption, label, cancellable, {}, false});
}

bool ScriptedProgress::update(qint64 done, qint64 total)
{
    if (!shown.isEmpty())
        shown.last().updates.append({done, total});
    return ++m_updates != cancelAtUpdate;
}

void ScriptedProgress::end()
{
    if (!shown.isEmpty())
        shown.last().ended = true;
}
