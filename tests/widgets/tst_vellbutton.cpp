// The push button's interface as the windows use it.
#include "widgets/VellButton.h"

#include <QSignalSpy>
#include <QTest>

class tst_VellButton : public QObject {
    Q_OBJECT
private slots:
    void clicksAndMouseEvents();
    void twoLineCaptionWithAccessKey();
};

void tst_VellButton::clicksAndMouseEvents()
{
    VellButton b(QStringLiteral("cmdTest"), nullptr);
    b.resize(100, 40);
    b.show();
    QSignalSpy clicks(&b, &VellButton::Click);
    QSignalSpy ups(&b, &VellButton::MouseUp);
    QTest::mouseClick(&b, Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);
    QTest::mouseClick(&b, Qt::RightButton);
    QCOMPARE(clicks.count(), 1); // a right click is no click
    QCOMPARE(ups.count(), 2);
    QCOMPARE(ups.last().at(0).value<Qt::MouseButton>(), Qt::RightButton);
    b.setFocus();
    QTest::keyClick(&b, Qt::Key_Space);
    QCOMPARE(clicks.count(), 2);
    b.setEnabled(false);
    QTest::mouseClick(&b, Qt::LeftButton);
    QCOMPARE(clicks.count(), 2);
}

void tst_VellButton::twoLineCaptionWithAccessKey()
{
    QWidget window;
    auto* b = new VellButton(QStringLiteral("cmdFindEntries"), &window);
    b->setCaption(QStringLiteral("&Find\r\nCitation(s)"));
    window.show();
    QCOMPARE(b->Caption(), QStringLiteral("&Find\r\nCitation(s)"));
    QCOMPARE(b->text(), QStringLiteral("&Find\nCitation(s)"));
    QCOMPARE(VellButton::Version(), QStringLiteral("w2005.08.15"));
}

QTEST_MAIN(tst_VellButton)
#include "tst_vellbutton.moc"
