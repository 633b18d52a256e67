#pragma once
// The push button of every window. Windows use it through its caption (one
// line, or two joined by CR LF, with "&" marking the access key), tooltip,
// Tag, enabled and visible state, its four colours and the Click signal.
#include <QColor>
#include <QPushButton>
#include <QString>

class VellButton : public QPushButton {
    Q_OBJECT
public:
    explicit VellButton(QWidget* parent = nullptr);
    VellButton(const QString& objectName, QWidget* parent);

    QString Caption() const { return m_caption; }
    void setCaption(const QString& caption);
    QString ToolTipText() const { return toolTip(); }
    void setToolTipText(const QString& tip) { setToolTip(tip); }

    // Free text a window keeps on the button ("Save", "Update", a caption...).
    QString Tag;

    QColor BackColor() const { return m_backColor; }
    void setBackColor(const QColor& c);
    QColor BackOver() const { return m_backOver; }
    void setBackOver(const QColor& c);
    QColor ForeColor() const { return m_foreColor; }
    void setForeColor(const QColor& c);
    QColor ForeOver() const { return m_foreOver; }
    void setForeOver(const QColor& c);

    bool isHovered() const { return m_hover; }
    // Redraws the button in its present state.
    void Refresh() { update(); }

    // The access key of a caption: the character after the first single "&",
    // in lower case ("&&" is a literal ampersand); none for a caption of one
    // character or one ending in "&".
    static QChar AccessKeyOf(const QString& caption);
    QChar AccessKey() const { return AccessKeyOf(m_caption); }

    // The version text of the control.
    static QString Version() { return QStringLiteral("w2005.08.15"); }

signals:
    void Click();
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    QSize sizeHint() const override;

private:
    QString m_caption;
    QColor m_backColor;
    QColor m_backOver;
    QColor m_foreColor;
    QColor m_foreOver;
    bool m_hover = false;
};
