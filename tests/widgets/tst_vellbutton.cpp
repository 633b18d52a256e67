// The push button: its events, access keys, stored property sets and the
// designs windows take from their resources.
#include "widgets/VellButton.h"

#include <QCursor>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class tst_VellButton : public QObject {
    Q_OBJECT
private slots:
    void clicksAndMouseEvents();
    void spaceKeyClicksOnlyAfterItsOwnPress();
    void doubleClickMakesNoSecondClick();
    void checkBoxBehaviourTogglesAndStaysPressed();
    void hoverEventsOnEnteringAndLeaving();
    void twoLineCaptionWithAccessKey();
    void accessKeys();
    void storedSetRoundTripsInKeyOrder();
    void storedSetFoundInAnyCaseWithDefaults();
    void damagedDesignLinesAreSkipped();
    void windowDesignYieldsToWhatCodeSet();
};

namespace {

void moveTo(VellButton& b, QPoint local)
{
    const QPoint global = b.mapToGlobal(local);
    QCursor::setPos(global);
    QMouseEvent move(QEvent::MouseMove, local, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&b, &move);
}

// A shown window holding one button, 100 x 40 at (10, 10).
struct ShownButton {
    QWidget window;
    VellButton* b;
    ShownButton() : b(new VellButton(QStringLiteral("cmdTest"), &window))
    {
        b->setGeometry(10, 10, 100, 40);
        window.show();
    }
};

} // namespace

void tst_VellButton::clicksAndMouseEvents()
{
    ShownButton shown;
    VellButton* b = shown.b;
    QSignalSpy clicks(b, &VellButton::Click);
    QSignalSpy downs(b, &VellButton::MouseDown);
    QSignalSpy ups(b, &VellButton::MouseUp);

    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(downs.count(), 1);
    QCOMPARE(ups.count(), 1);
    QCOMPARE(clicks.count(), 1);

    // A right click is no click, and the button is never drawn pressed by it.
    QTest::mousePress(b, Qt::RightButton);
    QCOMPARE(b->LastState(), Vell::State::Normal);
    QTest::mouseRelease(b, Qt::RightButton);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(downs.count(), 2);
    QCOMPARE(ups.count(), 2);
    QCOMPARE(ups.last().at(0).value<Qt::MouseButton>(), Qt::RightButton);

    QTest::mousePress(b, Qt::LeftButton);
    QCOMPARE(b->LastState(), Vell::State::Pressed);
    QTest::mouseRelease(b, Qt::LeftButton);
    QCOMPARE(b->LastState(), Vell::State::Normal);
    QCOMPARE(clicks.count(), 2);

    // A release away from the button cancels the click.
    QTest::mousePress(b, Qt::LeftButton);
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(300, 300));
    QCOMPARE(clicks.count(), 2);

    // What the windows do: click() in code, and nothing while disabled.
    b->click();
    QCOMPARE(clicks.count(), 3);
    b->setEnabled(false);
    QTest::mouseClick(b, Qt::LeftButton);
    b->click();
    QCOMPARE(clicks.count(), 3);
}

void tst_VellButton::spaceKeyClicksOnlyAfterItsOwnPress()
{
    ShownButton shown;
    VellButton* b = shown.b;
    QSignalSpy clicks(b, &VellButton::Click);
    QSignalSpy keyDowns(b, &VellButton::KeyDown);
    QSignalSpy keyUps(b, &VellButton::KeyUp);
    b->setFocus();

    QTest::keyPress(b, Qt::Key_Space);
    QCOMPARE(b->LastState(), Vell::State::Pressed);
    QCOMPARE(clicks.count(), 0);
    QTest::keyRelease(b, Qt::Key_Space);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(b->LastState(), Vell::State::Normal);
    QCOMPARE(keyDowns.count(), 1);
    QCOMPARE(keyUps.count(), 1);

    // The press went to another control; only the release arrives here.
    QTest::keyRelease(b, Qt::Key_Space);
    QCOMPARE(clicks.count(), 1);
}

void tst_VellButton::doubleClickMakesNoSecondClick()
{
    ShownButton shown;
    VellButton* b = shown.b;
    QSignalSpy clicks(b, &VellButton::Click);
    QSignalSpy downs(b, &VellButton::MouseDown);
    // What a double click delivers: press, release, double-click press, release.
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseDClick(b, Qt::LeftButton, {}, QPoint(20, 20));
    QCOMPARE(b->LastState(), Vell::State::Pressed);
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(20, 20));
    QCOMPARE(clicks.count(), 1);
    // The double click's press is reported at the button's corner.
    QCOMPARE(downs.last().at(2).toInt(), 0);
    QCOMPARE(downs.last().at(3).toInt(), 0);
    QCOMPARE(b->LastState(), Vell::State::Normal);
    // A plain click afterwards counts again.
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(clicks.count(), 2);
}

void tst_VellButton::checkBoxBehaviourTogglesAndStaysPressed()
{
    QWidget window;
    auto* b = new VellButton(QStringLiteral("cmdTest"), &window);
    b->setGeometry(10, 10, 80, 30);
    b->setCheckBoxBehaviour(true);
    window.show();
    const QColor normal = b->grab().toImage().pixelColor(70, 15);

    QTest::mouseClick(b, Qt::LeftButton);
    QVERIFY(b->Value());
    const QImage down = b->grab().toImage();
    // Drawn pressed although the mouse is up: the sunken face of style 14.
    QCOMPARE(down.pixelColor(70, 15), Vell::Shift(b->ButtonPalette(false).face, -9, false));
    b->setFocus();
    QTest::keyClick(b, Qt::Key_Space);
    QVERIFY(!b->Value());
    QCOMPARE(b->grab().toImage().pixelColor(70, 15), normal);

    // Without the behaviour a click leaves Value alone.
    b->setCheckBoxBehaviour(false);
    QTest::mouseClick(b, Qt::LeftButton);
    QVERIFY(!b->Value());
}

void tst_VellButton::hoverEventsOnEnteringAndLeaving()
{
    QWidget window;
    window.resize(300, 200);
    auto* b = new VellButton(QStringLiteral("cmdTest"), &window);
    b->setGeometry(20, 20, 100, 40);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy in(b, &VellButton::MouseIn);
    QSignalSpy over(b, &VellButton::MouseOver);
    QSignalSpy out(b, &VellButton::MouseOut);
    QSignalSpy moves(b, &VellButton::MouseMove);

    moveTo(*b, QPoint(30, 20));
    moveTo(*b, QPoint(40, 22));
    QCOMPARE(in.count(), 1);
    QCOMPARE(over.count(), 1);
    QCOMPARE(moves.count(), 2);
    QVERIFY(b->isHovered());
    QVERIFY(b->OverTimer()->isActive());
    QCOMPARE(b->OverTimer()->interval(), 3);

    // Still over it: a tick changes nothing.
    b->OverTimer_Timer();
    QCOMPARE(out.count(), 0);

    QCursor::setPos(window.mapToGlobal(QPoint(250, 150)));
    b->OverTimer_Timer();
    QCOMPARE(out.count(), 1);
    QVERIFY(!b->isHovered());
    QVERIFY(!b->OverTimer()->isActive());

    // Coming back is a new entry.
    moveTo(*b, QPoint(30, 20));
    QCOMPARE(in.count(), 2);
    QCOMPARE(over.count(), 2);
}

void tst_VellButton::twoLineCaptionWithAccessKey()
{
    QWidget window;
    auto* b = new VellButton(QStringLiteral("cmdFindEntries"), &window);
    b->setCaption(QStringLiteral("&Find\r\nCitation(s)"));
    window.show();
    QCOMPARE(b->Caption(), QStringLiteral("&Find\r\nCitation(s)"));
    QCOMPARE(b->text(), QStringLiteral("&Find\nCitation(s)"));
    QCOMPARE(b->AccessKey(), QChar(u'f'));
    QCOMPARE(VellButton::Version(), QStringLiteral("w2005.08.15"));
}

void tst_VellButton::accessKeys()
{
    QCOMPARE(VellButton::AccessKeyOf(QStringLiteral("Fish && Chips")), QChar());
    QCOMPARE(VellButton::AccessKeyOf(QStringLiteral("&Save")), QChar(u's'));
    QCOMPARE(VellButton::AccessKeyOf(QStringLiteral("Save&")), QChar());
    QCOMPARE(VellButton::AccessKeyOf(QStringLiteral("&")), QChar());
    QCOMPARE(VellButton::AccessKeyOf(QStringLiteral("A && B &Xray")), QChar(u'x'));
    QCOMPARE(VellButton::AccessKeyOf(QStringLiteral("Backup /\r\n&Restore")), QChar(u'r'));
}

void tst_VellButton::storedSetRoundTripsInKeyOrder()
{
    QWidget window;
    VellButton source(QStringLiteral("cmdSource"), &window);
    source.resize(96, 48);
    source.setButtonType(3);
    source.setCaption(QStringLiteral("Two \"quoted\"\r\nlines & more"));
    source.setColorScheme(2);
    source.setBackColor(QColor(10, 20, 30));
    source.setBackOver(QColor(40, 50, 60));
    source.setForeColor(QColor(70, 80, 90));
    source.setForeOver(QColor(100, 110, 120));
    source.setMaskColor(QColor(255, 0, 255));
    source.setSoftBevel(true);
    source.setPicturePosition(3);
    source.setSpecialEffect(2);
    source.setUseGreyscale(true);
    source.setUseMaskColor(false);
    source.setCheckBoxBehaviour(true);
    source.setValue(true);
    source.setFontBold(true);
    QImage picture(5, 4, QImage::Format_RGB32);
    picture.fill(QColor(1, 2, 3));
    source.setPictureNormal(picture);

    const Vell::PropertySet set = source.WriteProperties();
    QStringList keys;
    for (const auto& entry : set.entries())
        keys << entry.first;
    QStringList expected = {QStringLiteral("_extentx"), QStringLiteral("_extenty")};
    for (const QString& k : Vell::StoredKeys())
        expected << k.toLower();
    QCOMPARE(keys, expected);
    QCOMPARE(set.value(QStringLiteral("bcol")), QStringLiteral("&H001E140A&"));

    // Through the text form and back into a new button.
    const QHash<QString, Vell::PropertySet> parsed = Vell::ParseDesigns(Vell::FormatDesign(QStringLiteral("cmdSource"), set));
    QVERIFY(parsed.contains(QStringLiteral("cmdSource")));
    VellButton copy(QStringLiteral("cmdCopy"), &window);
    copy.ReadProperties(parsed.value(QStringLiteral("cmdSource")));
    QCOMPARE(copy.size(), source.size());
    QCOMPARE(copy.ButtonType(), 3);
    QCOMPARE(copy.Caption(), source.Caption());
    QCOMPARE(copy.BackColor(), QColor(10, 20, 30));
    QCOMPARE(copy.BackOver(), QColor(40, 50, 60));
    QCOMPARE(copy.ForeColor(), QColor(70, 80, 90));
    QCOMPARE(copy.ForeOver(), QColor(100, 110, 120));
    QCOMPARE(copy.MaskColor(), QColor(255, 0, 255));
    QVERIFY(copy.SoftBevel());
    QCOMPARE(copy.PicturePosition(), 3);
    QCOMPARE(copy.SpecialEffect(), 2);
    QVERIFY(copy.UseGreyscale());
    QVERIFY(!copy.UseMaskColor());
    QVERIFY(copy.CheckBoxBehaviour());
    QVERIFY(copy.Value());
    QVERIFY(copy.font().bold());
    QCOMPARE(copy.PictureNormal().size(), QSize(5, 4));
    QCOMPARE(copy.PictureNormal().pixelColor(2, 2), QColor(1, 2, 3));
    QVERIFY(copy.PictureOver().isNull());
}

void tst_VellButton::storedSetFoundInAnyCaseWithDefaults()
{
    // As the stored sets of the forms are: no "PICH" and no "VALUE", keys in
    // mixed case.
    const QString text = QStringLiteral("Begin VellButton cmdA\n"
                                        "   _ExtentX = 2540\n"
                                        "   _EXTENTY = 1270\n"
                                        "   BType = 14\n"
                                        "   TX = \"&Save\"\n"
                                        "   CHECK = -1\n"
                                        "   bcol = &H000000FF&\n"
                                        "   FCOL = &H80000012&\n"
                                        "End\n");
    const Vell::PropertySet set = Vell::ParseDesigns(text).value(QStringLiteral("cmdA"));
    QWidget window;
    VellButton b(QStringLiteral("cmdA"), &window);
    b.setValue(true);
    b.ReadProperties(set);
    QCOMPARE(b.ButtonType(), 14);
    QCOMPARE(b.Caption(), QStringLiteral("&Save"));
    QCOMPARE(b.AccessKey(), QChar(u's'));
    QVERIFY(b.CheckBoxBehaviour());
    QVERIFY(!b.Value());
    QCOMPARE(b.BackColor(), QColor(255, 0, 0));
    QCOMPARE(b.BackOver(), QColor(255, 0, 0)); // missing: the face just read
    QCOMPARE(b.ForeColor(), b.palette().color(QPalette::Active, QPalette::ButtonText));
    QCOMPARE(b.ColorScheme(), 1);
    QVERIFY(b.ShowFocusRect());
    QVERIFY(b.UseMaskColor());
    QCOMPARE(b.MaskColor(), QColor(0xC0, 0xC0, 0xC0));
    QCOMPARE(b.width(), qRound(2540.0 * b.logicalDpiX() / 2540.0));

    // An empty set loads every default, style 2 among them.
    VellButton plain(QStringLiteral("cmdB"), &window);
    plain.ReadProperties(Vell::PropertySet());
    QCOMPARE(plain.ButtonType(), 2);
    QVERIFY(plain.Caption().isEmpty());
    QVERIFY(plain.isEnabled());
}

void tst_VellButton::damagedDesignLinesAreSkipped()
{
    const QString text = QStringLiteral("' a comment\n"
                                        "Begin VellButton cmdA\n"
                                        "   no equals sign here\n"
                                        "   btype = eleven\n"
                                        "   bcol = &HZZ&\n"
                                        "   fcol = &H1FFFFFFFF&\n"
                                        "   font = \", 9000\"\n"
                                        "   picn = \"png:not-a-picture\"\n"
                                        "End\n"
                                        "Begin VellButton cmdUnfinished\n"
                                        "   btype = 3\n");
    const QHash<QString, Vell::PropertySet> designs = Vell::ParseDesigns(text);
    QCOMPARE(designs.size(), 1);
    QWidget window;
    VellButton b(QStringLiteral("cmdA"), &window);
    b.ReadProperties(designs.value(QStringLiteral("cmdA")));
    QCOMPARE(b.ButtonType(), 2);
    QCOMPARE(b.BackColor(), b.palette().color(QPalette::Active, QPalette::Button));
    QCOMPARE(b.ForeColor(), b.palette().color(QPalette::Active, QPalette::ButtonText));
    QVERIFY(b.PictureNormal().isNull());
    window.show();
    QVERIFY(!b.grab().isNull());
}

void tst_VellButton::windowDesignYieldsToWhatCodeSet()
{
    // The search dialog's design, found by the window's name.
    QWidget window;
    window.setObjectName(QStringLiteral("frmFind"));
    auto* find = new VellButton(QStringLiteral("cmdFind"), &window);
    find->setGeometry(10, 10, 140, 44);
    find->setBackColor(QColor(200, 0, 0));
    auto* cancel = new VellButton(QStringLiteral("cmdCancel"), &window);
    cancel->setGeometry(10, 60, 140, 44);
    cancel->setCaption(QStringLiteral("Stop"));
    auto* other = new VellButton(QStringLiteral("cmdNotDesigned"), &window);
    window.show();

    QCOMPARE(find->ButtonType(), 3);
    QCOMPARE(find->BackColor(), QColor(200, 0, 0));
    QCOMPARE(find->BackOver(), QColor(255, 240, 190));
    QVERIFY(!find->PictureNormal().isNull());
    QVERIFY(find->UseGreyscale());
    QCOMPARE(cancel->Caption(), QStringLiteral("Stop"));
    QCOMPARE(cancel->BackColor(), QColor(226, 234, 246));
    // A button the design does not name keeps a new button's look.
    QCOMPARE(other->ButtonType(), 14);
    QCOMPARE(other->ColorScheme(), 2);
    // Colours set later in code (a flashing button) win as well.
    cancel->setBackColor(QColor(1, 2, 3));
    QCOMPARE(cancel->BackColor(), QColor(1, 2, 3));
}

QTEST_MAIN(tst_VellButton)
#include "tst_vellbutton.moc"
