// The push button as drawn: colour arithmetic, shapes, the three styles in
// their states, pictures and captions, checked on rendered pixels.
#include "widgets/VellButton.h"
#include "widgets/VellButtonPainter.h"

#include <QCursor>
#include <QMouseEvent>
#include <QTest>

using Vell::Shift;

class tst_VellButtonDrawing : public QObject {
    Q_OBJECT
private slots:
    void init();
    void colourShiftsAndLightening();
    void paletteOfTheSchemes();
    void windowShapesCutTheCorners();
    void shadedStyleStepsOneShadePerRow();
    void offsetStyleTurnsFlatWhileHovered();
    void pressedAndDraggedKeepsTheHoverFace();
    void transparentStyleFrameOnlyWhenHoveredOrPressed();
    void pictureMaskAndGreyscale();
    void disabledSilhouettesAndEtchedCaption();
    void specialEffectsUnderCaptionAndPicture();
    void captionAndPictureLayout();
    void wrappedCaptionStaysBesideThePicture();
};

namespace {

void hover(VellButton& b)
{
    const QPoint local = b.rect().center();
    const QPoint global = b.mapToGlobal(local);
    QCursor::setPos(global);
    QMouseEvent move(QEvent::MouseMove, local, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&b, &move);
}

// A move over the button with the left button held down.
void drag(VellButton& b)
{
    const QPoint local = b.rect().center() + QPoint(1, 0);
    const QPoint global = b.mapToGlobal(local);
    QCursor::setPos(global);
    QMouseEvent move(QEvent::MouseMove, local, global, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&b, &move);
}

void leave(VellButton& b)
{
    QCursor::setPos(b.window()->mapToGlobal(QPoint(-50, -50)));
    b.OverTimer_Timer();
}

QImage shot(VellButton& b)
{
    return b.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A 4 x 1 picture: the mask colour, a colour, a dark and a light pixel.
QImage testPicture()
{
    QImage pic(4, 1, QImage::Format_RGB32);
    pic.setPixelColor(0, 0, QColor(0xC0, 0xC0, 0xC0));
    pic.setPixelColor(1, 0, QColor(200, 100, 50));
    pic.setPixelColor(2, 0, QColor(10, 20, 30));
    pic.setPixelColor(3, 0, QColor(250, 250, 250));
    return pic;
}

} // namespace

// Each case starts with the cursor far from every window.
void tst_VellButtonDrawing::init()
{
    QCursor::setPos(3000, 3000);
}

void tst_VellButtonDrawing::colourShiftsAndLightening()
{
    QCOMPARE(Shift(QColor(100, 150, 200), 31, false), QColor(131, 181, 231));
    QCOMPARE(Shift(QColor(100, 150, 240), 31, false), QColor(131, 181, 255)); // clamped
    QCOMPARE(Shift(QColor(10, 150, 200), -64, false), QColor(0, 86, 136));
    // Blue weighting moves blue in proportion to itself: 96 * 48 / 192 = 24.
    QCOMPARE(Shift(QColor(100, 100, 96), 48, false, true), QColor(148, 148, 120));
    QCOMPARE(Shift(QColor(100, 100, 100), -25, false, true), QColor(75, 75, 87)); // -13.02 truncates to -13
    // Soft bevel halves the amount first, towards zero.
    QCOMPARE(Shift(QColor(100, 100, 100), -31, true), QColor(85, 85, 85));
    QCOMPARE(Shift(QColor(100, 100, 96), 48, true, true), QColor(124, 124, 108));
    QCOMPARE(Vell::Lighten(QColor(0, 100, 255), 176), QColor(176, 206, 255));
    QCOMPARE(Vell::RoundEven(12.5), 12);
    QCOMPARE(Vell::RoundEven(13.5), 14);
    // N(N(0.30 * 200) + 0.59 * 100 + 0.11 * 50) = N(124.5) = 124.
    QCOMPARE(Vell::GreyOf(QColor(200, 100, 50)), 124);
    QCOMPARE(Vell::FromBgr(0x733C00), QColor(0x00, 0x3C, 0x73));
}

void tst_VellButtonDrawing::paletteOfTheSchemes()
{
    Vell::PaletteInput in;
    in.back = QColor(100, 110, 120);
    in.backOver = QColor(1, 2, 3);
    in.fore = Qt::black;
    in.foreOver = Qt::blue;
    in.mask = QColor(0xC0, 0xC0, 0xC0);
    in.scheme = 2;
    in.style = 14;
    Vell::Palette p = Vell::MakePalette(in);
    QCOMPARE(p.shadow, QColor(36, 46, 56));
    QCOMPARE(p.light, QColor(131, 141, 151));
    QCOMPARE(p.highlight, QColor(147, 157, 167));
    QCOMPARE(p.darkShadow, QColor(0, 0, 0));
    QCOMPARE(p.selection, QColor(0, 0, 0));
    QCOMPARE(p.paleSelection, in.back);
    QCOMPARE(p.hoverFace, in.backOver);
    QCOMPARE(p.style3Face, p.face); // plain unless the style is 3
    in.style = 3;
    QCOMPARE(Vell::MakePalette(in).style3Face, QColor(148, 158, 150)); // 120 + 48 * 120 / 192
    in.soft = true;
    QCOMPARE(Vell::MakePalette(in).shadow, QColor(68, 78, 88));

    in.scheme = 3;
    p = Vell::MakePalette(in);
    QCOMPARE(p.face, QColor(0xC0, 0xC0, 0xC0));
    QCOMPARE(p.selection, QColor(0, 0, 0x80));
    QCOMPARE(p.paleSelection, QColor(0xAD, 0xAD, 0xD1));

    in.scheme = 4;
    in.soft = false;
    in.parentBack = QColor(50, 60, 70);
    in.parentText = QColor(9, 9, 9);
    in.system.setColor(QPalette::Active, QPalette::Highlight, QColor(0, 0, 255));
    p = Vell::MakePalette(in);
    QCOMPARE(p.face, QColor(50, 60, 70));
    QCOMPARE(p.hoverText, QColor(9, 9, 9));
    QCOMPARE(p.shadow, QColor(0, 0, 6));
    QCOMPARE(p.paleSelection, QColor(176, 176, 255));
}

void tst_VellButtonDrawing::windowShapesCutTheCorners()
{
    const QRegion shaded = Vell::WindowShape(3, 40, 25);
    for (const QPoint& gone : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(39, 0), QPoint(38, 0), QPoint(39, 1),
                               QPoint(0, 24), QPoint(1, 24), QPoint(0, 23), QPoint(39, 24), QPoint(38, 24), QPoint(39, 23)})
        QVERIFY2(!shaded.contains(gone), qPrintable(QStringLiteral("%1,%2").arg(gone.x()).arg(gone.y())));
    for (const QPoint& kept : {QPoint(1, 1), QPoint(2, 0), QPoint(0, 2), QPoint(37, 0), QPoint(38, 23)})
        QVERIFY(shaded.contains(kept));

    const QRegion offset = Vell::WindowShape(14, 40, 25);
    QVERIFY(!offset.contains(QPoint(0, 24)));
    QVERIFY(!offset.contains(QPoint(39, 0)));
    QVERIFY(offset.contains(QPoint(0, 0)));
    QVERIFY(offset.contains(QPoint(39, 24)));
    QCOMPARE(Vell::WindowShape(11, 40, 25), QRegion(0, 0, 40, 25));

    // The button takes its shape when sized.
    QWidget window;
    auto* b = new VellButton(QStringLiteral("cmdTest"), &window);
    b->setButtonType(3);
    b->resize(40, 25);
    QVERIFY(!b->mask().contains(QPoint(0, 0)));
    QVERIFY(b->mask().contains(QPoint(20, 12)));
}

void tst_VellButtonDrawing::shadedStyleStepsOneShadePerRow()
{
    QWidget window;
    window.resize(200, 100);
    auto* b = new VellButton(QStringLiteral("cmdTest"), &window);
    b->setGeometry(10, 10, 60, 25);
    b->setButtonType(3);
    b->setColorScheme(2);
    b->setBackColor(QColor(150, 160, 170));
    b->setFocusPolicy(Qt::NoFocus); // the focus changes the border; it comes last
    window.show();
    const QColor s = b->ButtonPalette(false).style3Face;
    QCOMPARE(s, Shift(QColor(150, 160, 170), 48, false, true));

    QImage img = shot(*b);
    // Rows clear of the border lines: row i is the face shifted by -i.
    for (int i = 3; i <= 21; ++i)
        QCOMPARE(img.pixelColor(10, i), Shift(s, -i, false, true));
    QCOMPARE(img.pixelColor(30, 0), Vell::FromBgr(0x733C00));
    QCOMPARE(img.pixelColor(1, 1), Vell::FromBgr(0x7B4D10));
    QCOMPARE(img.pixelColor(30, 1), Shift(s, 16, false, true));

    // Hovered: the warm border; face rows unchanged.
    hover(*b);
    img = shot(*b);
    QCOMPARE(img.pixelColor(30, 2), Vell::FromBgr(0x8CDBFF));
    QCOMPARE(img.pixelColor(2, 10), Vell::FromBgr(0x6BCBFF));
    // The face is the hover face now.
    QCOMPARE(img.pixelColor(10, 10), Shift(b->ButtonPalette(true).style3Face, -10, false, true));
    leave(*b);

    // Pressed: the shading runs the other way from a darker face.
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(30, 12));
    img = shot(*b);
    const QColor dark = Shift(s, -32, false, true);
    QCOMPARE(img.pixelColor(10, 10), Shift(dark, -Vell::RoundEven((25 - 10) * 25.0 / 25), false, true));
    QCOMPARE(img.pixelColor(10, 20), Shift(dark, -5, false, true));
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(30, 12));
    leave(*b);

    // With the focus (and no hover) the cool border shows.
    b->setFocusPolicy(Qt::StrongFocus);
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    b->setFocus();
    leave(*b); // activating replays the last mouse position over the button
    QVERIFY(b->hasFocus());
    img = shot(*b);
    QCOMPARE(img.pixelColor(30, 1), Vell::FromBgr(0xFFE7CE));

    // Disabled: flat, darker, with its own frame and corners.
    b->setEnabled(false);
    img = shot(*b);
    QCOMPARE(img.pixelColor(10, 10), Shift(s, -24, false, true));
    QCOMPARE(img.pixelColor(30, 0), Shift(s, -84, false, true));
    QCOMPARE(img.pixelColor(1, 1), Shift(s, -72, false, true));
}

void tst_VellButtonDrawing::offsetStyleTurnsFlatWhileHovered()
{
    QWidget window;
    window.resize(200, 100);
    auto* b = new VellButton(QStringLiteral("cmdTest"), &window);
    b->setGeometry(10, 10, 80, 29);
    b->setBackColor(QColor(120, 130, 140));
    b->setBackOver(QColor(200, 190, 100));
    window.show();
    QCOMPARE(b->ButtonType(), 14);
    const Vell::Palette plain = b->ButtonPalette(false);
    const auto shading = [&](int row) { return Shift(plain.highlight, -Vell::RoundEven(row * 58.0 / 29), false); };

    QImage img = shot(*b);
    QCOMPARE(img.pixelColor(60, 10), shading(10));
    QCOMPARE(img.pixelColor(60, 20), shading(20));
    QCOMPARE(img.pixelColor(40, 2), plain.highlight); // the top strip
    QCOMPARE(img.pixelColor(40, 0), Shift(plain.shadow, -50, false));

    hover(*b);
    const Vell::Palette over = b->ButtonPalette(true);
    QCOMPARE(over.face, QColor(200, 190, 100));
    img = shot(*b);
    QCOMPARE(img.pixelColor(60, 10), over.light);
    QCOMPARE(img.pixelColor(60, 20), over.light);

    leave(*b);
    img = shot(*b);
    QCOMPARE(img.pixelColor(60, 10), shading(10));
}

void tst_VellButtonDrawing::pressedAndDraggedKeepsTheHoverFace()
{
    // Held down over the button, it is drawn pressed in the hover colours,
    // whether the mouse stays still or moves; the hover itself ends with
    // each move, as a move with the button held is no hovering.
    QWidget window;
    window.resize(200, 100);
    auto* b = new VellButton(QStringLiteral("cmdTest"), &window);
    b->setGeometry(10, 10, 80, 29);
    b->setBackColor(QColor(120, 130, 140));
    b->setBackOver(QColor(200, 190, 100));
    window.show();
    const QColor pressedOver = Shift(b->ButtonPalette(true).face, -9, false);
    QVERIFY(pressedOver != Shift(b->ButtonPalette(false).face, -9, false));

    hover(*b);
    QTest::mousePress(b, Qt::LeftButton, {}, b->rect().center());
    QCOMPARE(shot(*b).pixelColor(40, 15), pressedOver);
    drag(*b);
    QVERIFY(!b->isHovered());
    QCOMPARE(b->LastState(), Vell::State::Pressed);
    QCOMPARE(shot(*b).pixelColor(40, 15), pressedOver);
    drag(*b);
    QCOMPARE(shot(*b).pixelColor(40, 15), pressedOver);
    QTest::mouseRelease(b, Qt::LeftButton, {}, b->rect().center());
    leave(*b);
}

void tst_VellButtonDrawing::transparentStyleFrameOnlyWhenHoveredOrPressed()
{
    QWidget window;
    window.resize(200, 100);
    QPalette pal = window.palette();
    pal.setColor(QPalette::Window, QColor(30, 120, 60));
    window.setPalette(pal);
    window.setAutoFillBackground(true);
    auto* b = new VellButton(QStringLiteral("cmdTest"), &window);
    b->setGeometry(20, 20, 60, 30);
    b->setButtonType(11);
    window.show();
    QCoreApplication::processEvents();
    leave(*b);
    const Vell::Palette p = b->ButtonPalette(false);
    const QColor behind(30, 120, 60);

    QImage img = shot(*b);
    QCOMPARE(img.pixelColor(0, 0), behind);
    QCOMPARE(img.pixelColor(59, 29), behind);
    QCOMPARE(img.pixelColor(30, 15), behind);

    hover(*b);
    img = shot(*b);
    QCOMPARE(img.pixelColor(0, 0), b->ButtonPalette(true).highlight);
    QCOMPARE(img.pixelColor(0, 15), b->ButtonPalette(true).highlight);
    QCOMPARE(img.pixelColor(59, 15), b->ButtonPalette(true).shadow);
    QCOMPARE(img.pixelColor(30, 29), b->ButtonPalette(true).shadow);
    QCOMPARE(img.pixelColor(30, 15), behind);

    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(30, 15));
    img = shot(*b);
    QCOMPARE(img.pixelColor(0, 15), p.shadow);
    QCOMPARE(img.pixelColor(59, 15), p.highlight);
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(30, 15));
    leave(*b);
    img = shot(*b);
    QCOMPARE(img.pixelColor(0, 15), behind);
}

void tst_VellButtonDrawing::pictureMaskAndGreyscale()
{
    QWidget window;
    window.resize(200, 100);
    auto* b = new VellButton(QStringLiteral("cmdTest"), &window);
    b->setGeometry(10, 10, 40, 21);
    b->setButtonType(2); // face and picture only
    b->setBackColor(QColor(10, 200, 10));
    b->setPictureNormal(testPicture());
    window.show();
    const QPoint at = b->ButtonLayout().picture;
    QCOMPARE(at, QPoint(18, 10));
    const QColor face(10, 200, 10);

    QImage img = shot(*b);
    QCOMPARE(img.pixelColor(at), face); // the mask colour lets the face through
    QCOMPARE(img.pixelColor(at + QPoint(1, 0)), QColor(200, 100, 50));

    b->setUseMaskColor(false);
    img = shot(*b);
    QCOMPARE(img.pixelColor(at), QColor(0xC0, 0xC0, 0xC0));
    b->setUseMaskColor(true);

    // Grey until the mouse is over the button, in colour while hovered and pressed.
    b->setUseGreyscale(true);
    img = shot(*b);
    QCOMPARE(img.pixelColor(at + QPoint(1, 0)), QColor(124, 124, 124));
    QCOMPARE(img.pixelColor(at), face);
    hover(*b);
    img = shot(*b);
    QCOMPARE(img.pixelColor(at + QPoint(1, 0)), QColor(200, 100, 50));
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    img = shot(*b);
    QCOMPARE(img.pixelColor(at + QPoint(2, 1)), QColor(200, 100, 50)); // one down and right
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));
    leave(*b);

    // A fully transparent pixel of an icon is never drawn, whatever the key.
    QImage icon(2, 1, QImage::Format_ARGB32);
    icon.setPixelColor(0, 0, QColor(0, 0, 0, 0));
    icon.setPixelColor(1, 0, QColor(0, 0, 255));
    QImage target(2, 1, QImage::Format_RGB32);
    target.fill(QColor(5, 5, 5));
    Vell::DrawPicture(target, icon, 0, 0, Vell::PictureMode::Colour, QColor());
    QCOMPARE(target.pixelColor(0, 0), QColor(5, 5, 5));
    QCOMPARE(target.pixelColor(1, 0), QColor(0, 0, 255));
    // Drawn partly off the target: clipped, not out of bounds.
    Vell::DrawPicture(target, testPicture(), -2, 0, Vell::PictureMode::Colour, QColor());
    QCOMPARE(target.pixelColor(0, 0), QColor(10, 20, 30));
}

void tst_VellButtonDrawing::disabledSilhouettesAndEtchedCaption()
{
    QWidget window;
    window.resize(300, 200);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(24);
    f.setStyleStrategy(QFont::NoAntialias);

    // The picture: a two-tone silhouette of its darker pixels only.
    auto* pic = new VellButton(QStringLiteral("cmdPicture"), &window);
    pic->setGeometry(10, 10, 40, 21);
    pic->setBackColor(QColor(90, 100, 110));
    pic->setPictureNormal(testPicture());
    pic->setEnabled(false);

    // The caption: a light copy down-right with the shadow copy on top.
    auto* text = new VellButton(QStringLiteral("cmdText"), &window);
    text->setGeometry(10, 60, 160, 50);
    text->setBackColor(QColor(90, 100, 110));
    text->setFont(f);
    text->setCaption(QStringLiteral("HH"));
    text->setEnabled(false);
    window.show();

    const Vell::Palette p = pic->ButtonPalette(false);
    const QPoint at = pic->ButtonLayout().picture;
    QImage img = shot(*pic);
    QCOMPARE(img.pixelColor(at + QPoint(2, 0)), p.shadow);          // the dark pixel
    QCOMPARE(img.pixelColor(at + QPoint(3, 1)), p.highlight);       // its light copy
    QVERIFY(img.pixelColor(at + QPoint(3, 0)) != p.shadow);         // the light pixel is left out
    QVERIFY(img.pixelColor(at + QPoint(1, 0)) == p.shadow);         // 200+100+50 is below 385

    img = shot(*text);
    const Vell::Edges r = text->ButtonLayout().caption;
    int shadows = 0, etched = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            if (img.pixelColor(x, y) != p.shadow)
                continue;
            ++shadows;
            if (img.pixelColor(x + 1, y + 1) == p.highlight)
                ++etched;
        }
    }
    QVERIFY(shadows > 20);
    QVERIFY(etched > 5);

    // Style 3 shows the disabled picture in grey, moved one down and right.
    pic->setButtonType(3);
    const QPoint at3 = pic->ButtonLayout().picture;
    img = shot(*pic);
    QCOMPARE(img.pixelColor(at3 + QPoint(2, 1)), QColor(124, 124, 124));
}

// The raised, sunken and shadowed copies: a style-3 button shifts its
// picture's silhouettes from the style-3 face but its caption's copies from
// the plain face.
void tst_VellButtonDrawing::specialEffectsUnderCaptionAndPicture()
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(24);
    f.setStyleStrategy(QFont::NoAntialias);
    Vell::PaletteInput colours;
    colours.scheme = 2;
    colours.style = 3;
    colours.back = colours.backOver = QColor(90, 100, 110);
    colours.fore = colours.foreOver = Qt::black;
    colours.mask = QColor(0xC0, 0xC0, 0xC0);
    const Vell::Palette palette = Vell::MakePalette(colours);
    const auto paint = [&](int effect, const QString& caption, const QImage& picture, QSize size) {
        Vell::PaintInput in;
        in.w = size.width();
        in.h = size.height();
        in.style = 3;
        in.palette = palette;
        in.font = f;
        in.caption = caption;
        in.pictureNormal = picture;
        in.specialEffect = effect;
        in.layout = Vell::MakeLayout(in.style, in.w, in.h, caption, f, picture.size(), 0);
        return Vell::Paint(in);
    };

    // The 4 x 1 picture at (18, 10); its first pixel is the mask colour, so
    // the copy one up-left shows from (18, 9) and the one down-right ends at (22, 11).
    const QColor darker = Shift(palette.style3Face, -40, false);
    const QColor lighter = Shift(palette.style3Face, 40, false);
    const QImage plain = paint(0, QString(), testPicture(), QSize(40, 21));
    QImage img = paint(1, QString(), testPicture(), QSize(40, 21));
    QCOMPARE(img.pixelColor(22, 11), darker);
    QCOMPARE(img.pixelColor(18, 9), lighter);
    QCOMPARE(img.pixelColor(19, 10), QColor(200, 100, 50)); // the picture on top
    img = paint(2, QString(), testPicture(), QSize(40, 21));
    QCOMPARE(img.pixelColor(22, 11), lighter);
    QCOMPARE(img.pixelColor(18, 9), darker);
    img = paint(3, QString(), testPicture(), QSize(40, 21));
    QCOMPARE(img.pixelColor(22, 11), darker);
    QCOMPARE(img.pixelColor(18, 9), plain.pixelColor(18, 9));
    QCOMPARE(plain.pixelColor(22, 11), paint(0, QString(), QImage(), QSize(40, 21)).pixelColor(22, 11));

    // The caption's shadow copy.
    const auto count = [](const QImage& image, const QColor& c) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixelColor(x, y) == c;
        return n;
    };
    const QImage shadowed = paint(3, QStringLiteral("HH"), QImage(), QSize(160, 50));
    QVERIFY(count(shadowed, Shift(palette.face, -40, false)) > 5);
    QCOMPARE(count(shadowed, darker), 0);
    QCOMPARE(count(paint(0, QStringLiteral("HH"), QImage(), QSize(160, 50)), Shift(palette.face, -40, false)), 0);
}

void tst_VellButtonDrawing::captionAndPictureLayout()
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(12);
    const QSize pic(16, 16);
    // Left of the caption, centred vertically, six pixels clear.
    Vell::Layout l = Vell::MakeLayout(14, 120, 40, QStringLiteral("Quit"), f, pic, 0);
    QCOMPARE(l.picture.x(), l.caption.left - 16 - 6);
    QCOMPARE(l.picture.y(), 12);
    QCOMPARE(l.captionPressed, l.caption.moved(1, 1));
    QCOMPARE(l.inner, (Vell::Edges{6, 6, 116, 36}));
    // Right of it.
    l = Vell::MakeLayout(3, 120, 40, QStringLiteral("Quit"), f, pic, 1);
    QCOMPARE(l.picture.x(), l.caption.right + 6);
    QCOMPARE(l.inner, (Vell::Edges{4, 4, 116, 36}));
    // Above and below: centred across, two pixels from the caption.
    l = Vell::MakeLayout(11, 120, 60, QStringLiteral("Quit"), f, pic, 2);
    QCOMPARE(l.picture, QPoint(52, l.caption.top - 16 - 2));
    l = Vell::MakeLayout(11, 120, 60, QStringLiteral("Quit"), f, pic, 3);
    QCOMPARE(l.picture, QPoint(52, l.caption.bottom + 2));
    QVERIFY(l.caption.bottom + 2 + 16 <= 60);
    // No caption, or behind it: centred on the button.
    QCOMPARE(Vell::MakeLayout(14, 120, 40, QString(), f, pic, 0).picture, QPoint(52, 12));
    QCOMPARE(Vell::MakeLayout(14, 120, 40, QStringLiteral("Quit"), f, pic, 4).picture, QPoint(52, 12));
    // A two-line caption stands taller than a one-line one, and stays centred.
    const Vell::Layout one = Vell::MakeLayout(14, 120, 60, QStringLiteral("Admin"), f, QSize(), 0);
    const Vell::Layout two = Vell::MakeLayout(14, 120, 60, QStringLiteral("Admin\r\n&Window"), f, QSize(), 0);
    QVERIFY(two.caption.bottom - two.caption.top > one.caption.bottom - one.caption.top);

    // A focused default button draws its caption bold; a caption measured
    // plain to the button's width keeps its two lines, not three.
    Vell::PaintInput in;
    // The caption's room is the width less 4 on the left and 8 on the right:
    // enough for the plain line only.
    in.w = QFontMetrics(f).horizontalAdvance(QStringLiteral("Help Topics")) + 12;
    in.h = 80;
    in.showFocusRect = false;
    in.style = 3;
    in.focus = in.isDefault = true;
    Vell::PaletteInput colours;
    colours.scheme = 2;
    colours.style = in.style;
    colours.back = colours.backOver = QColor(236, 240, 248);
    colours.fore = colours.foreOver = Qt::black;
    colours.mask = QColor(192, 192, 192);
    in.palette = Vell::MakePalette(colours);
    in.font = f;
    in.caption = QStringLiteral("Help &Topics\r\n<F1>");
    in.layout = Vell::MakeLayout(in.style, in.w, in.h, in.caption, f, QSize(), 0);
    const QImage image = Vell::Paint(in);
    int top = in.h, bottom = -1;
    for (int y = 0; y < in.h; ++y)
        for (int x = 5; x < in.w - 5; ++x)
            if (qGray(image.pixel(x, y)) < 80 && y > 8 && y < in.h - 8) {
                top = qMin(top, y);
                bottom = qMax(bottom, y);
            }
    QFont bold = f;
    bold.setBold(true);
    QVERIFY2(bottom - top < 2 * QFontMetrics(bold).lineSpacing() + 2, qPrintable(QStringLiteral("ink %1..%2").arg(top).arg(bottom)));
}

void tst_VellButtonDrawing::wrappedCaptionStaysBesideThePicture()
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(12);
    const QFontMetrics m(f);
    // Broken where word wrapping breaks it, the "&" kept with its letter.
    const int helpWidth = m.horizontalAdvance(QStringLiteral("Help")) + 2;
    const QList<QPair<QString, QString>> cases{{"Help &Topics", "Help\n&Topics"},
                                               {"A&&B &Print", "A&&B\n&Print"},
                                               {"Help\nTopics", "Help\nTopics"},
                                               {"Quit", "Quit"}};
    for (const auto& [caption, lines] : cases)
        QCOMPARE(Vell::WrapCaption(caption, f, helpWidth + m.horizontalAdvance(QStringLiteral("&"))), lines);

    // A caption wrapped in the room right of a picture on its left is drawn
    // in those lines, clear of the picture, whichever state or style.
    QImage picture(32, 32, QImage::Format_RGB32);
    picture.fill(QColor(250, 210, 0));
    for (const int style : {3, 11, 14}) {
        Vell::PaintInput in;
        in.w = 110;
        in.h = 60;
        in.style = style;
        in.showFocusRect = false;
        Vell::PaletteInput colours;
        colours.scheme = 2;
        colours.style = style;
        colours.back = colours.backOver = QColor(236, 240, 248);
        colours.fore = colours.foreOver = Qt::black;
        colours.mask = QColor(192, 192, 192);
        in.palette = Vell::MakePalette(colours);
        in.font = f;
        in.caption = QStringLiteral("Print the Citation List");
        in.pictureNormal = picture;
        in.layout = Vell::MakeLayout(style, in.w, in.h, in.caption, f, picture.size(), 0);
        QVERIFY(in.layout.captionLines.count(u'\n') >= 1);
        const QImage image = Vell::Paint(in);
        const int pictureRight = in.layout.picture.x() + picture.width();
        for (int y = 4; y < in.h - 4; ++y)
            for (int x = 4; x < pictureRight + 2; ++x) // right of the frame lines
                QVERIFY2(qGray(image.pixel(x, y)) > 60,
                         qPrintable(QStringLiteral("style %1: ink at %2,%3").arg(style).arg(x).arg(y)));
    }
}

QTEST_MAIN(tst_VellButtonDrawing)
#include "tst_vellbuttondrawing.moc"
