#include "widgets/TextBox.h"

#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

namespace {

QString toStored(QString text) { return text.replace(u'\n', QLatin1String("\r\n")); }

QString toShown(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

// Keeps one multi-line box within its input limit. The limit binds typing and
// pasting; a longer text set by the program is allowed until the user has
// brought it within the limit.
class MultiLineLimiter : public QObject {
public:
    MultiLineLimiter(QPlainTextEdit* box, int limit) : QObject(box), m_box(box), m_limit(limit)
    {
        connect(box->document(), &QTextDocument::contentsChange, this, [this](int position, int, int added) {
            m_position = position;
            m_added = added;
        });
        connect(box, &QPlainTextEdit::textChanged, this, &MultiLineLimiter::enforce);
    }

    void allowForProgramText(int length) { m_allowed = length; }

private:
    void enforce()
    {
        if (m_busy)
            return;
        const QString plain = m_box->toPlainText();
        int over = TextBox::StoredLength(plain) - qMax(m_limit, m_allowed);
        if (over <= 0) {
            if (TextBox::StoredLength(plain) <= m_limit)
                m_allowed = 0;
            return;
        }
        // Drop the end of what was just typed or pasted until the text fits.
        const int end = qMin(m_position + m_added, int(plain.size()));
        int from = end;
        while (over > 0 && from > qMax(0, m_position)) {
            --from;
            over -= plain.at(from) == u'\n' ? 2 : 1;
        }
        m_busy = true;
        QTextCursor c(m_box->document());
        c.setPosition(from);
        c.setPosition(end, QTextCursor::KeepAnchor);
        c.removeSelectedText();
        m_box->setTextCursor(c);
        m_busy = false;
    }

    QPlainTextEdit* m_box;
    int m_limit;
    int m_allowed = 0;
    int m_position = 0;
    int m_added = 0;
    bool m_busy = false;
};

MultiLineLimiter* limiterOf(QPlainTextEdit* box)
{
    for (QObject* child : box->children())
        if (auto* limiter = dynamic_cast<MultiLineLimiter*>(child))
            return limiter;
    return nullptr;
}

} // namespace

TextBox::TextBox(QLineEdit* line, int inputLimit) : m_line(line), m_limit(inputLimit)
{
    m_line->setMaxLength(inputLimit);
}

TextBox::TextBox(QPlainTextEdit* multi, int inputLimit) : m_multi(multi), m_limit(inputLimit)
{
    LimitMultiLineInput(multi, inputLimit);
}

QWidget* TextBox::widget() const
{
    if (m_line)
        return m_line;
    return m_multi;
}

int TextBox::StoredLength(const QString& text)
{
    // In stored form every line break is already CR LF, so the length is plain.
    return int(toStored(toShown(text)).size());
}

QString TextBox::text() const
{
    if (m_line)
        return m_line->text();
    return m_multi ? toStored(m_multi->toPlainText()) : QString();
}

void TextBox::setText(const QString& text)
{
    // Showing a record sets every box; a box already showing the text, with
    // nothing to undo or redo and nothing selected, is left as it is (laying
    // its text out again is most of what showing a record costs).
    if (m_line) {
        // A text set by the program is never cut to the input limit.
        m_line->setMaxLength(qMax(m_limit, int(text.size())));
        const bool same = !m_line->isUndoAvailable() && !m_line->isRedoAvailable() && !m_line->hasSelectedText()
            && !m_line->isModified() && m_line->text() == text;
        if (!same)
            m_line->setText(text);
        m_line->setCursorPosition(0); // a long text shows its beginning
    } else if (m_multi) {
        if (MultiLineLimiter* limiter = limiterOf(m_multi))
            limiter->allowForProgramText(StoredLength(text));
        const QString shown = toShown(text);
        const QTextDocument* document = m_multi->document();
        const bool same = !document->isUndoAvailable() && !document->isRedoAvailable()
            && !m_multi->textCursor().hasSelection() && m_multi->textCursor().position() == 0
            && m_multi->toPlainText() == shown;
        if (!same)
            m_multi->setPlainText(shown);
    }
}

bool TextBox::isLocked() const
{
    if (m_line)
        return m_line->isReadOnly();
    return m_multi && m_multi->isReadOnly();
}

void TextBox::setLocked(bool locked)
{
    if (m_line)
        m_line->setReadOnly(locked);
    else if (m_multi)
        m_multi->setReadOnly(locked);
}

QColor TextBox::backColor() const
{
    const QWidget* w = widget();
    if (!w)
        return QColor();
    // The colour the box is drawn in now: a box in a disabled frame draws
    // with the disabled colours.
    return w->palette().color(w->isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Base);
}

void TextBox::setBackColor(const QColor& colour)
{
    QWidget* w = widget();
    if (!w)
        return;
    // Every state draws the same colour: a box inside a disabled frame is
    // still a field of the record and must look like its neighbours, with
    // its text as readable as theirs.
    QPalette p = w->palette();
    const QPalette was = p;
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(g, QPalette::Base, colour);
    p.setColor(QPalette::Disabled, QPalette::Text, p.color(QPalette::Active, QPalette::Text));
    // Setting a palette again re-resolves it through every child: only a
    // change is set.
    if (p != was || !w->testAttribute(Qt::WA_SetPalette))
        w->setPalette(p);
}

QString TextBox::toolTip() const
{
    const QWidget* w = widget();
    return w ? w->toolTip() : QString();
}

void TextBox::setToolTip(const QString& tip)
{
    if (QWidget* w = widget())
        w->setToolTip(tip);
}

void TextBox::selectAll()
{
    if (m_line)
        m_line->selectAll();
    else if (m_multi)
        m_multi->selectAll();
}

bool TextBox::hasFocus() const
{
    const QWidget* w = widget();
    return w && w->hasFocus();
}

void LimitMultiLineInput(QPlainTextEdit* box, int inputLimit)
{
    if (!limiterOf(box))
        new MultiLineLimiter(box, inputLimit);
}
