#pragma once
// One text box of a window's array of text fields, single-line (QLineEdit) or
// multi-line (QPlainTextEdit), used the same way: text, locked state, input
// limit, background colour, tooltip, and a Tag the window keeps with it.
//
// The input limit restricts what the user types, never a text set by the
// program, so a stored value longer than the box accepts is shown whole and
// not cut. Multi-line text is exchanged with CR LF line breaks, which count
// as two characters against the limit, as they take two bytes when stored.
#include <QColor>
#include <QString>

class QLineEdit;
class QPlainTextEdit;
class QWidget;

class TextBox {
public:
    TextBox() = default;
    TextBox(QLineEdit* line, int inputLimit);
    TextBox(QPlainTextEdit* multi, int inputLimit);

    // Pointer-like use, as with the other controls: txtField[3]->text().
    TextBox* operator->() { return this; }
    const TextBox* operator->() const { return this; }

    QWidget* widget() const;
    QLineEdit* lineEdit() const { return m_line; }
    QPlainTextEdit* multiLine() const { return m_multi; }
    explicit operator bool() const { return widget() != nullptr; }

    QString text() const;
    void setText(const QString& text);
    // The length as stored: a CR LF line break counts two.
    int length() const { return StoredLength(text()); }
    int inputLimit() const { return m_limit; }

    bool isLocked() const;
    void setLocked(bool locked);

    QColor backColor() const;
    void setBackColor(const QColor& colour);

    QString toolTip() const;
    void setToolTip(const QString& tip);

    void selectAll();
    bool hasFocus() const;

    // Free text the window keeps with the box.
    QString Tag;

    static int StoredLength(const QString& text);

private:
    QLineEdit* m_line = nullptr;
    QPlainTextEdit* m_multi = nullptr;
    int m_limit = 0;
};

// Keeps a multi-line box within its input limit while the user types or
// pastes: what goes beyond the limit is dropped from the typed text.
void LimitMultiLineInput(QPlainTextEdit* box, int inputLimit);
