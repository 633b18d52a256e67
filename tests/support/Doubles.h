#pragma once
// Scripted stand-ins for the platform seams. Each installs itself when
// constructed and restores the real seam when destroyed.
#include "platform/Clock.h"
#include "platform/FolderPicker.h"
#include "platform/Messages.h"
#include "platform/Printer.h"
#include "platform/Progress.h"
#include "platform/SaveFileDialog.h"
#include "platform/Screen.h"
#include "platform/Settings.h"

#include <QList>
#include <QMap>
#include <QStringList>
#include <functional>

// Message and input boxes, answered from a queue of expected boxes. A box
// that was not expected (or differs in text, caption, buttons or icon) is a
// failure the test reads through allMet()/report().
class ScriptedMessages final : public MessageService {
public:
    ScriptedMessages();
    ~ScriptedMessages() override;

    // Expects a message box with exactly this text, caption and flags.
    // `during` runs while the box is "open" (to look at the window behind it).
    ScriptedMessages& expect(const QString& text, const QString& caption, int flags, int answer,
                             std::function<void()> during = {});
    // Expects a message box whose text matches `pattern` (for a text that
    // carries a system's own words), with exactly this caption and flags.
    ScriptedMessages& expectMatching(const QString& pattern, const QString& caption, int flags, int answer);
    // Expects an input box with exactly this prompt, title and preset answer.
    ScriptedMessages& expectInput(const QString& prompt, const QString& title, const QString& preset,
                                  const QString& answer);
    // Expects a password box (what is typed shown as dots).
    ScriptedMessages& expectPassword(const QString& prompt, const QString& title, const QString& answer);

    bool allMet() const { return m_failures.isEmpty() && m_queue.isEmpty(); }
    int pending() const { return int(m_queue.size()); }
    QString report() const;
    // Every box shown, as "caption: text".
    QStringList shown;

    int msgBox(const QString& text, int flags, const QString& caption) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& preset) override;
    QString passwordBox(const QString& prompt, const QString& title) override;

private:
    QString answerInput(const QString& prompt, const QString& title, const QString& preset, bool password);
    struct Expected {
        bool input = false;
        bool password = false;
        bool matching = false;
        QString text, caption, preset;
        int flags = 0;
        int answer = 0;
        QString inputAnswer;
        std::function<void()> during;
    };
    QList<Expected> m_queue;
    QStringList m_failures;
};

// Settings kept in memory.
class MemorySettings final : public SettingsStore {
public:
    MemorySettings();
    ~MemorySettings() override;
    QString get(const QString& section, const QString& key, const QString& fallback) override;
    bool save(const QString& section, const QString& key, const QString& value) override;
    bool has(const QString& section, const QString& key) const { return values.contains(section + u'/' + key); }
    QMap<QString, QString> values; // "Section/Key" -> value
    bool failSaves = false;
};

class FixedClock final : public Clock {
public:
    explicit FixedClock(const QDateTime& moment);
    ~FixedClock() override;
    QDateTime now() override { return moment; }
    QDateTime moment;
};

class FakeScreen final : public ScreenMetrics {
public:
    FakeScreen(int width, int height, double dpi = 96.0);
    ~FakeScreen() override;
    QSize sizeInPixels() override { return size; }
    double logicalDpi() override { return dpi; }
    QRect availableGeometry() override { return available.isValid() ? available : QRect(QPoint(0, 0), size); }
    QSize size;
    double dpi;
    QRect available; // the whole screen while invalid
};

class FakeFolderPicker final : public FolderPicker {
public:
    FakeFolderPicker();
    ~FakeFolderPicker() override;
    QString browseForFolder(const QString& title) override;
    QStringList answers; // taken in order; empty list answers "cancelled"
    QStringList titles;
};

// The "save as" dialog: each answer a path (empty: cancelled) and the file
// type picked.
class FakeSaveDialog final : public SaveFileDialog {
public:
    FakeSaveDialog();
    ~FakeSaveDialog() override;
    QString saveFileName(const QString& title, const QString& suggested, const QStringList& filters,
                         int& chosenFilter) override;
    struct Answer {
        QString path;
        int filter = 0;
    };
    QList<Answer> answers; // taken in order; none left answers "cancelled"
    QStringList suggestions;
    QStringList filtersSeen;
};

// Records what a printout asks of the printer: every operation with the
// position it was asked at, and every printed text with its place. It does
// not lay out pages itself: a text asked for below the foot of the paper is
// recorded there (carrying it onto a new page is the real printer's work).
// Fixed metrics, so layouts are deterministic: every character (the average
// one included) is 0.6 x the font size in points / 72 inches wide (1/12 inch
// at 10 point, so print column n starts at (n - 1) / 12 inch), a line is
// 1.2 x the font size / 72 inches high (1/6 inch at 10 point), the paper is
// 8.5 x 11 inches unless a test sets another width, with a 0.5-inch margin
// on the right.
class RecordingPrinter final : public Printer {
public:
    RecordingPrinter();
    ~RecordingPrinter() override;

    struct Item {
        int page;
        double x, y;
        QString text;
        PrintFont font;
    };
    QList<Item> items;
    // Every operation asked, as "name(argument)" with the page and the
    // position before it: "print(abc)", "endLine", "newPage", "x=1", "y=1",
    // "font", "begin", "end".
    struct Operation {
        QString what;
        int page;
        double x, y;
    };
    QList<Operation> operations;
    int pages = 0;
    int documents = 0; // documents begun
    bool begun = false;
    bool ended = false;
    bool refuseToBegin = false; // as when the user cancels the choice of output
    QString failure;            // with refuseToBegin: the error to report; else reported when the document ends
    QString title;              // of the last document
    double paperWidth = 8.5;
    // Called at every operation of the printout, to look at the window behind it.
    std::function<void()> duringPrint;

    // The lines of one page, top to bottom (items with the same y make a
    // line). A line reads as printed from 1 inch: each text stands at its
    // print column (1/12 inch steps from 1 inch, the gaps as blanks). A text
    // left of 1 inch, between columns or over the one before it is shown
    // with its position, as "[x=0.000]text", so a misplaced text never reads
    // like a well placed one.
    QStringList lines(int page = 1) const;
    // Where the line reading `line` (as lines() shows it) stands on `page`; -1 when absent.
    double lineY(const QString& line, int page = 1) const;
    // The items of every page whose text starts with `start`, or empty.
    QList<Item> itemsStartingWith(const QString& start) const;
    // The operations asked, by name only.
    QStringList operationNames() const;

    bool beginDocument(const QString& title) override;
    void setFont(const PrintFont& font) override;
    PrintFont font() const override { return m_font; }
    double currentX() const override { return m_x; }
    double currentY() const override { return m_y; }
    void setCurrentX(double inches) override;
    void setCurrentY(double inches) override;
    void print(const QString& text, bool endLine) override;
    double textWidth(const QString& text) const override;
    double textHeight() const override;
    double averageCharWidth() const override { return textWidth(QStringLiteral("x")); }
    double pageWidth() const override { return paperWidth; }
    double pageHeight() const override { return 11.0; }
    double printableRight() const override { return paperWidth - PrintRightMargin; }
    void newPage() override;
    bool endDocument() override;
    QString lastError() const override { return m_error; }

private:
    void record(const QString& what);
    QMap<qint64, QString> placedLines(int page) const;
    PrintFont m_font;
    double m_x = 0, m_y = 0;
    QString m_error;
};

// Where the real printer sends a document: answered from fields.
class ScriptedPrintOutput final : public PrintOutputChooser {
public:
    ScriptedPrintOutput();
    ~ScriptedPrintOutput() override;
    PrintDestination destination = PrintDestination::PdfFile;
    QString pdfFile;            // empty answers "cancelled"
    QList<bool> installedSeen;  // the printerInstalled of every question
    PrintDestination chooseDestination(const QString& title, bool printerInstalled) override;
    QString pdfFileName(const QString& suggested) override;
};

// Records every progress bar that would be shown, with each update, and
// answers Cancel at a chosen update.
class ScriptedProgress final : public ProgressView {
public:
    ScriptedProgress();
    ~ScriptedProgress() override;
    struct Shown {
        QString caption, label;
        bool cancellable = false;
        QList<QPair<qint64, qint64>> updates; // (done, total)
        bool ended = false;
    };
    QList<Shown> shown;
    int cancelAtUpdate = 0; // from 1, counted over all bars; 0: never
    void begin(const QString& caption, const QString& label, bool cancellable) override;
    bool update(qint64 done, qint64 total) override;
    void end() override;

private:
    int m_updates = 0;
};
