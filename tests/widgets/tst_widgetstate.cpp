// What the widgets keep from one change by the program to the next: a busy
// window takes no input and gives its focus back, a box set to the text it
// shows still loses what could be undone, and a button's layout follows every
// change of caption, size and font.
#include "widgets/BusyGuard.h"
#include "widgets/TextBox.h"
#include "widgets/VellButton.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

class tst_WidgetState : public QObject {
    Q_OBJECT
private slots:
    void busyWindowTakesNoInputWhileGuardsNest();
    void boxesSetAgainLoseWhatCouldBeUndone();
    void buttonLayoutFollowsEveryChange();
};

void tst_WidgetState::busyWindowTakesNoInputWhileGuardsNest()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit(&window);
    auto* button = new QPushButton(QStringLiteral("Other"), &window);
    layout->addWidget(edit);
    layout->addWidget(button);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    edit->setFocus();
    int clicks = 0;
    connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
    {
        BusyGuard outer(&window);
        QVERIFY(window.isEnabled()); // no event handled yet: nothing greyed for work that handles none
        {
            BusyGuard inner(&window);
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(clicks, 0);
            QVERIFY(!window.isEnabled());
        }
        // The inner guard gave the window back; the outer one still works.
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::keyClicks(edit, QStringLiteral("abc"));
        QCOMPARE(clicks, 0);
        QVERIFY(edit->text().isEmpty());
        QVERIFY(!window.isEnabled());
    }
    QVERIFY(window.isEnabled());
    QCOMPARE(QApplication::focusWidget(), edit);
    QVERIFY(!QGuiApplication::overrideCursor());
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicks, 1);
}

void tst_WidgetState::boxesSetAgainLoseWhatCouldBeUndone()
{
    QWidget window;
    auto* line = new QLineEdit(&window);
    auto* multi = new QPlainTextEdit(&window);
    TextBox boxes[2] = {TextBox(line, 40), TextBox(multi, 400)};
    window.show();
    for (TextBox& box : boxes) {
        const auto undoable = [&box] {
            return box.lineEdit() ? box.lineEdit()->isUndoAvailable() : box.multiLine()->document()->isUndoAvailable();
        };
        box.setText(QStringLiteral("Main St"));
        QSignalSpy changed(box.widget(), box.lineEdit() ? SIGNAL(textChanged(QString)) : SIGNAL(textChanged()));
        box.setText(QStringLiteral("Main St")); // the same, nothing typed: left as it is
        QCOMPARE(changed.count(), 0);
        // Typed and typed back: the same text, but with something to undo.
        box.widget()->setFocus();
        QTest::keyClick(box.widget(), Qt::Key_End);
        QTest::keyClicks(box.widget(), QStringLiteral("x"));
        QTest::keyClick(box.widget(), Qt::Key_Backspace);
        QCOMPARE(box.text(), QStringLiteral("Main St"));
        QVERIFY(undoable());
        box.setText(QStringLiteral("Main St"));
        QVERIFY(!undoable());
        QCOMPARE(box.text(), QStringLiteral("Main St"));
        box.setText(QString());
        QCOMPARE(box.text(), QString());
    }
}

void tst_WidgetState::buttonLayoutFollowsEveryChange()
{
    VellButton b;
    b.resize(90, 40);
    b.setCaption(QStringLiteral("&Add"));
    b.show(); // a hidden button is told of a new size only when shown
    const auto fresh = [&b] {
        return Vell::MakeLayout(b.ButtonType(), b.width(), b.height(), b.Caption(), b.font(), QImage().size(), 0);
    };
    const std::function<void()> changes[] = {
        [&b] { b.setCaption(QStringLiteral("&Save")); },
        [&b] { b.setCaption(QStringLiteral("&Add")); },
        [&b] { b.resize(60, 40); },
        [&b] { b.setCaption(QStringLiteral("Cancel this long entry")); },
        [&b] { b.setFontBold(true); },
        [&b] { b.setFontSize(14); },
        [&b] { b.resize(90, 40); },
        [&b] { b.setCaption(QStringLiteral("&Add")); },
        [&b] { b.setButtonType(Vell::StyleShaded); },
        [&b] { b.Refresh(); },
    };
    for (size_t i = 0; i < std::size(changes); ++i) {
        changes[i]();
        const Vell::Layout want = fresh(), got = b.ButtonLayout();
        const QByteArray step = QByteArray::number(qulonglong(i));
        QVERIFY2(got.captionLines == want.captionLines && got.picture == want.picture, step.constData());
        QVERIFY2(got.caption == want.caption && got.captionPressed == want.captionPressed && got.inner == want.inner,
                 step.constData());
    }
}

QTEST_MAIN(tst_WidgetState)
#include "tst_widgetstate.moc"
