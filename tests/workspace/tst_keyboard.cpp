// The main window from the keyboard and on small screens: the Tab order
// against the order on screen, access keys, where the focus goes when an add
// or an edit starts, the selection of the list, the colours of fields in
// locked frames, the user label, and every window inside the screen.
#include "MainWindowFixture.h"
#include "UserFiles.h"

#include "app/frmTitlePage.h"
#include "users/frmAddEditUser.h"
#include "users/frmAdmin.h"
#include "widgets/VellButton.h"
#include "widgets/WindowPlacement.h"
#include "store/SearchSettings.h"
#include "workspace/frmFind.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QButtonGroup>
#include <QSignalSpy>
#include <QtTest>

namespace {

// The screen order of a set of controls is worked out from their geometry:
// the controls are cut into rows wherever a horizontal gap runs across all of
// them, each row into columns wherever a vertical gap runs down it, and so on
// until single controls remain. A frame is read as a whole at its place, then
// its contents the same way. So a page laid out in rows reads row by row,
// left to right, and a part laid out in columns (the Court page's outcome
// boxes beside the scene disposition, the speeding frame's boxes beside its
// methods) reads column by column.
struct Unit {
    QRect rect;
    QWidget* stop = nullptr;   // the control Tab lands on (leaf)
    QGroupBox* frame = nullptr; // a frame, read by its contents
    QList<Unit> inside;
};

QList<Unit> readingOrder(QList<Unit> units);

QList<Unit> cut(const QList<Unit>& units, bool rows)
{
    QList<Unit> sorted = units;
    std::stable_sort(sorted.begin(), sorted.end(), [rows](const Unit& a, const Unit& b) {
        return rows ? a.rect.top() < b.rect.top() : a.rect.left() < b.rect.left();
    });
    QList<QList<Unit>> parts;
    int reach = INT_MIN;
    for (const Unit& u : sorted) {
        const int start = rows ? u.rect.top() : u.rect.left();
        if (parts.isEmpty() || start > reach)
            parts.append(QList<Unit>());
        parts.last().append(u);
        reach = qMax(reach, rows ? u.rect.bottom() : u.rect.right());
    }
    if (parts.size() < 2)
        return {};
    QList<Unit> out;
    for (const QList<Unit>& p : parts)
        out += readingOrder(p);
    return out;
}

QList<Unit> readingOrder(QList<Unit> units)
{
    if (units.size() <= 1)
        return units;
    if (QList<Unit> r = cut(units, true); !r.isEmpty())
        return r;
    if (QList<Unit> c = cut(units, false); !c.isEmpty())
        return c;
    std::stable_sort(units.begin(), units.end(), [](const Unit& a, const Unit& b) {
        return std::pair(a.rect.top(), a.rect.left()) < std::pair(b.rect.top(), b.rect.left());
    });
    return units;
}

void flatten(const QList<Unit>& units, QList<QWidget*>& out)
{
    for (const Unit& u : readingOrder(units)) {
        if (u.frame)
            flatten(u.inside, out);
        else
            out << u.stop;
    }
}

bool reachableByTab(const QWidget* w, const QWidget* top)
{
    return (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(top);
}

// The controls under `top` that Tab can reach, in screen order. Option
// buttons of one group count as one place; text boxes include their labels.
// Widgets under `skip` are left out.
QList<QWidget*> screenOrder(QWidget* top, QWidget* skip = nullptr)
{
    QMap<QObject*, Unit> groups;   // option group -> its unit
    QMap<QGroupBox*, Unit> frames; // frame -> its unit
    QList<Unit> topUnits;
    const auto rectOf = [top](QWidget* w) { return QRect(w->mapTo(top, QPoint(0, 0)), w->size()); };
    const auto frameOf = [top](QWidget* w) -> QGroupBox* {
        for (QWidget* p = w->parentWidget(); p && p != top; p = p->parentWidget())
            if (auto* g = qobject_cast<QGroupBox*>(p))
                return g;
        return nullptr;
    };
    QList<QPair<QGroupBox*, Unit>> leaves;
    for (QWidget* w : top->findChildren<QWidget*>()) {
        if (skip && skip->isAncestorOf(w))
            continue;
        auto* radio = qobject_cast<QRadioButton*>(w);
        if (!radio && !reachableByTab(w, top))
            continue;
        if (w->focusProxy())
            continue; // the tab control stands for its tab bar
        if (radio && !(radio->isEnabled() && radio->isVisibleTo(top)))
            continue;
        if (qobject_cast<QTabBar*>(w) == nullptr && w->parentWidget() && qobject_cast<QTabBar*>(w->parentWidget()))
            continue; // the tab bar's scroll buttons
        QRect r = rectOf(w);
        for (QLabel* l : top->findChildren<QLabel*>())
            if (l->buddy() == w)
                r = r.united(rectOf(l));
        if (radio) {
            QObject* key = radio->group() ? static_cast<QObject*>(radio->group()) : radio->parentWidget();
            Unit& g = groups[key];
            g.rect = g.rect.isNull() ? r : g.rect.united(r);
            if (reachableByTab(radio, top))
                g.stop = radio;
            continue;
        }
        leaves.append({frameOf(w), Unit{r, w, nullptr, {}}});
    }
    for (auto it = groups.begin(); it != groups.end(); ++it)
        if (it->stop)
            leaves.append({frameOf(it->stop), *it});
    // Frames nest in the order of their depth: innermost first.
    for (const auto& [frame, unit] : leaves) {
        if (!frame) {
            topUnits << unit;
            continue;
        }
        Unit& f = frames[frame];
        f.frame = frame;
        f.rect = rectOf(frame);
        f.inside << unit;
    }
    for (auto it = frames.begin(); it != frames.end(); ++it) {
        QGroupBox* outer = frameOf(it.key());
        if (outer)
            qFatal("nested frames are not read by this test");
        topUnits << *it;
    }
    QList<QWidget*> out;
    flatten(topUnits, out);
    return out;
}

// Presses Tab from the focused control until the focus leaves `area` (or
// comes back to where it started); the controls passed, in order.
QList<QWidget*> tabWalk(QWidget* area, int limit = 60)
{
    QList<QWidget*> seen;
    QWidget* start = QApplication::focusWidget();
    seen << start;
    for (int i = 0; i < limit; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        if (!area->isAncestorOf(now) || now == start) {
            seen << now;
            break;
        }
        seen << now;
    }
    return seen;
}

QStringList names(const QList<QWidget*>& widgets)
{
    QStringList out;
    for (const QWidget* w : widgets)
        out << (w ? w->objectName() : QStringLiteral("(none)"));
    return out;
}

QColor pixelInside(QWidget* w)
{
    const QImage image = w->grab().toImage();
    return image.pixelColor(image.width() - 6, image.height() / 2);
}

CitationBytes3000 withChoices(const QByteArray& number)
{
    CitationBytes3000 r = citation(number, QDate(2006, 3, 5), QTime(9, 5));
    r.int16("Weather", 3);
    r.int16("SceneDisposition", 2);
    return r;
}

} // namespace

class tst_Keyboard : public QObject {
    Q_OBJECT
private slots:
    void tabFollowsTheScreenOnEveryPage_data();
    void tabFollowsTheScreenOnEveryPage();
    void tabInViewingWalksTheWindow();
    void tabEntersAnOptionGroupAtItsChoice();
    void pageKeysAndStartsPutTheFocusOnTheFirstField();
    void theListAlwaysKeepsASelection();
    void lockedFramesShowTheViewingColour();
    void userLabelKeepsToTwoLines();
    void windowsFitASmallScreen();
    void shortcutsWorkExactlyWhenTheirButtonsDo_data();
    void shortcutsWorkExactlyWhenTheirButtonsDo();
    void altLetterWithoutTargetTypesNothing();
    void placementIsRestoredInsideTheScreen();
};

void tst_Keyboard::tabFollowsTheScreenOnEveryPage_data()
{
    QTest::addColumn<bool>("adding");
    QTest::newRow("adding") << true;
    QTest::newRow("editing") << false;
}

void tst_Keyboard::tabFollowsTheScreenOnEveryPage()
{
    QFETCH(bool, adding);
    MainWindowFixture f;
    f.write({withChoices("A-1"), withChoices("B-2")});
    frmMain& w = f.open();
    adding ? w.StartAdd() : w.StartEdit();
    QCoreApplication::processEvents();
    VellButton* save = adding ? w.cmdAddSave : w.cmdEditSave;

    for (int page = 0; page <= 6; ++page) {
        w.MainTab->setCurrentIndex(page);
        QCoreApplication::processEvents();
        QWidget* shown = w.MainTab->widget(page);
        const QList<QWidget*> expected = screenOrder(shown);
        QVERIFY(!expected.isEmpty());
        // Choosing the page puts the focus on its first control on screen ...
        QCOMPARE(QApplication::focusWidget(), expected.first());
        // ... and Tab walks the rest in screen order, then leaves for the save button.
        const QList<QWidget*> walked = tabWalk(shown);
        QCOMPARE(names(walked), names(expected) << save->objectName());
    }
}

void tst_Keyboard::tabInViewingWalksTheWindow()
{
    MainWindowFixture f;
    f.write({withChoices("A-1"), withChoices("B-2"), withChoices("C-3")});
    frmMain& w = f.open();
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.grid));
    // The list, its buttons and sort choice, the record and window buttons, the
    // page tabs; a locked field then sends the focus back to the list.
    QList<QWidget*> expected = screenOrder(&w, w.MainTab->findChild<QStackedWidget*>());
    QCOMPARE(expected.first(), static_cast<QWidget*>(w.grid));
    QCOMPARE(expected.last(), static_cast<QWidget*>(w.MainTab->tabBar()));
    const QList<QWidget*> walked = tabWalk(&w);
    QCOMPARE(names(walked), names(expected) << w.grid->objectName());
}

void tst_Keyboard::tabEntersAnOptionGroupAtItsChoice()
{
    MainWindowFixture f;
    f.write({withChoices("A-1")});
    frmMain& w = f.open();
    w.StartAdd();
    w.MainTab->setCurrentIndex(4);
    w.txtField[40].widget()->setFocus();
    QTest::keyClick(w.txtField[40].widget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.optWeather[3]));
    QTest::keyClick(w.optWeather[3], Qt::Key_Space);
    QVERIFY(w.optWeather[3]->isChecked());
    // The arrow keys still move the choice, and Tab then leaves from the new one.
    QTest::keyClick(w.optWeather[3], Qt::Key_Down);
    QVERIFY(w.optWeather[4]->isChecked());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), w.txtField[40].widget());
    QTest::keyClick(w.txtField[40].widget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.optWeather[4]));

    // The scene disposition, reached from the last outcome box.
    w.MainTab->setCurrentIndex(5);
    w.txtField[47].widget()->setFocus();
    QTest::keyClick(w.txtField[47].widget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.optSceneDisposition[2]));
    QTest::keyClick(w.optSceneDisposition[2], Qt::Key_Space);
    QCOMPARE(w.EditorValuesFromWindow()[OptionGroup::SceneDisposition], 2);
}

void tst_Keyboard::pageKeysAndStartsPutTheFocusOnTheFirstField()
{
    MainWindowFixture f;
    f.write({withChoices("A-1"), withChoices("B-2")});
    frmMain& w = f.open();

    // Alt+E starts an edit with the focus in the page's first field.
    w.MainTab->setCurrentIndex(3);
    QTest::keyClick(w.grid, Qt::Key_E, Qt::AltModifier);
    QVERIFY(w.Editing);
    QCOMPARE(QApplication::focusWidget(), w.txtField[32].widget());
    QTest::keyClick(w.txtField[32].widget(), Qt::Key_V, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), w.txtField[24].widget());
    QTest::keyClick(w.txtField[24].widget(), Qt::Key_T, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), w.txtField[41].widget());
    // The key of the page already shown brings the focus back to its start.
    w.txtField[45].widget()->setFocus();
    QTest::keyClick(w.txtField[45].widget(), Qt::Key_T, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), w.txtField[41].widget());
    QTest::keyClick(w.txtField[41].widget(), Qt::Key_Escape);
    QVERIFY(!w.Editing);

    w.MainTab->setCurrentIndex(0);
    QTest::keyClick(w.grid, Qt::Key_E, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), w.txtField[1].widget());
    QTest::keyClick(w.txtField[1].widget(), Qt::Key_Escape);

    // An add starts in "NCIC Number", or in "Citation Number" when a default fills the first.
    QTest::keyClick(w.grid, Qt::Key_A, Qt::AltModifier);
    QVERIFY(w.Adding);
    QCOMPARE(QApplication::focusWidget(), w.txtField[1].widget());
    QTest::keyClick(w.txtField[1].widget(), Qt::Key_Escape);
    w.txtDefault[1]->setText(QStringLiteral("GA0000000"));
    QTest::keyClick(w.grid, Qt::Key_A, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), w.txtField[2].widget());
    QTest::keyClick(w.txtField[2].widget(), Qt::Key_Escape);
}

void tst_Keyboard::theListAlwaysKeepsASelection()
{
    MainWindowFixture f;
    f.write({withChoices("A-1"), withChoices("B-2"), withChoices("C-3")});
    frmMain& w = f.open();
    const auto selectedRows = [&w] { return w.grid->selectionModel()->selectedRows(); };
    const auto rowCentre = [&w](int row) {
        return QPoint(w.grid->columnViewportPosition(1) + 5, w.grid->rowViewportPosition(row) + w.grid->rowHeight(row) / 2);
    };

    QTest::mouseClick(w.grid->viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(0));
    QCOMPARE(w.SelectedRow(), 0);
    QTest::mouseClick(w.grid->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(0));
    QCOMPARE(selectedRows().size(), 1);
    QCOMPARE(selectedRows().first().row(), 0);

    QTest::keyClick(w.grid, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(selectedRows().size(), 1);
    QTest::keyClick(w.grid, Qt::Key_Space, Qt::ControlModifier);
    QCOMPARE(selectedRows().size(), 1);

    // Below the last row there is nothing to select: the row stays selected.
    QTest::mouseClick(w.grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, w.grid->viewport()->height() - 3));
    QCOMPARE(selectedRows().size(), 1);
    QCOMPARE(selectedRows().first().row(), 0);
    // A Ctrl+click on another row moves the selection as a plain click does.
    QTest::mouseClick(w.grid->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(2));
    QCOMPARE(selectedRows().size(), 1);
    QCOMPARE(selectedRows().first().row(), 2);
    QCOMPARE(w.txtField[2]->text(), w.listModel->row(2).citationNumber);
}

void tst_Keyboard::lockedFramesShowTheViewingColour()
{
    MainWindowFixture f;
    CitationBytes3000 r = withChoices("A-1");
    r.int16("MeasuredSpeed", 70);
    r.int16("PostedSpeed", 55);
    f.write({r});
    frmMain& w = f.open();
    for (int page : {0, 3}) {
        w.MainTab->setCurrentIndex(page);
        QCoreApplication::processEvents();
        for (int i : {7, 8, 34, 35, 36, 5, 33}) {
            QWidget* box = w.txtField[size_t(i)].widget();
            if (!box->isVisible())
                continue;
            QCOMPARE(w.txtField[size_t(i)]->backColor(), frmMain::ViewingColour());
            QCOMPARE(pixelInside(box), frmMain::ViewingColour());
        }
    }
    QVERIFY(!w.frame[3]->isEnabled());
    QVERIFY(!w.frame[7]->isEnabled());
}

void tst_Keyboard::userLabelKeepsToTwoLines()
{
    for (int level = 1; level <= 4; ++level) {
        MainWindowFixture f(level);
        f.write({withChoices("A-1")});
        frmMain& w = f.open();
        QLabel* label = w.lblUserInfo;
        const QFontMetrics fm(label->font());
        const QRect room = label->contentsRect().marginsRemoved(QMargins(label->margin(), label->margin(),
                                                                         label->margin(), label->margin()));
        const QStringList lines = label->text().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 2);
        for (const QString& line : lines)
            QVERIFY2(fm.horizontalAdvance(line) <= room.width(), qPrintable(line));
        const QRect needed = fm.boundingRect(room, int(label->alignment()) | Qt::TextWordWrap,
                                             lines.join(u'\n'));
        QVERIFY2(needed.height() <= 2 * fm.lineSpacing(), qPrintable(label->text()));
        QVERIFY(label->height() >= needed.height());
    }
}

void tst_Keyboard::windowsFitASmallScreen()
{
    // The offscreen platform's own screen, where the tests run, is 800x600.
    const QScreen* real = QGuiApplication::primaryScreen();
    const bool realSmall = real && real->size() == QSize(800, 600);

    for (const QRect& available : {QRect(0, 0, 800, 600), QRect(0, 0, 800, 570), QRect(0, 30, 800, 570)}) {
        MainWindowFixture f;
        f.screen.size = QSize(800, 600);
        f.screen.available = available;
        f.write({withChoices("A-1"), withChoices("B-2")});
        frmMain& w = f.open();
        const auto inside = [&](QWidget* window) {
            const QRect outer = window->frameGeometry();
            QVERIFY2(available.contains(outer),
                     qPrintable(QStringLiteral("%1 at %2,%3 %4x%5").arg(window->objectName()).arg(outer.x())
                                    .arg(outer.y()).arg(outer.width()).arg(outer.height())));
            if (realSmall)
                QVERIFY(real->availableGeometry().contains(outer));
        };
        inside(&w);
        // The editor is whole inside the window, the list keeps some rows.
        QVERIFY(w.rect().contains(w.frame[2]->geometry()));
        QVERIFY(w.grid->height() > 4 * w.grid->verticalHeader()->defaultSectionSize());
        // The list's buttons and sort choice all show whole, none over another.
        QList<QWidget*> side{w.cmdFindEntries, w.cmdPrintList, w.lblSort, w.optSort[0], w.optSort[1], w.optSort[2]};
        for (int i = 0; i < side.size(); ++i) {
            const QRect a(side[i]->mapTo(w.frame[1], QPoint(0, 0)), side[i]->size());
            QVERIFY2(w.frame[1]->rect().contains(a), qPrintable(side[i]->objectName()));
            QVERIFY(a.height() >= side[i]->minimumSizeHint().height());
            for (int j = i + 1; j < side.size(); ++j)
                QVERIFY2(!a.intersects(QRect(side[j]->mapTo(w.frame[1], QPoint(0, 0)), side[j]->size())),
                         qPrintable(side[i]->objectName() + u' ' + side[j]->objectName()));
        }
        w.StartAdd();
        inside(&w);
        QVERIFY(w.rect().contains(w.frame[2]->geometry()));
        w.EndAdd();
        inside(&w);

        auto* title = new frmTitlePage;
        title->show();
        inside(title);
        delete title;
        auto* admin = new frmAdmin;
        admin->show();
        inside(admin);
        auto* user = new frmAddEditUser(admin);
        user->show();
        inside(user);
        delete admin;
        auto* find = new frmFind(&w);
        find->show();
        inside(find);
        delete find;
    }

    // The outer size is the designed one where the screen has room.
    MainWindowFixture big;
    frmMain& w = big.open();
    QCOMPARE(w.frameGeometry().width(), TwipsToPixels(11900));
}

void tst_Keyboard::shortcutsWorkExactlyWhenTheirButtonsDo_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("citations");
    QTest::addColumn<QString>("mode");
    for (int level = 1; level <= 4; ++level) {
        for (const char* mode : {"list", "sub-list", "editing", "adding"})
            QTest::addRow("level %d, %s", level, mode) << level << 3 << QString::fromLatin1(mode);
        QTest::addRow("level %d, one citation", level) << level << 1 << QStringLiteral("list");
    }
}

void tst_Keyboard::shortcutsWorkExactlyWhenTheirButtonsDo()
{
    QFETCH(int, level);
    QFETCH(int, citations);
    QFETCH(QString, mode);
    MainWindowFixture f(level);
    QList<CitationBytes3000> records;
    for (int i = 0; i < citations; ++i)
        records << citation("C-" + QByteArray::number(i), QDate(2006, 1, 1 + i)).text("Notes", "radar");
    f.write(records);
    frmMain& w = f.open();
    if (mode == "sub-list") {
        searchSettings().phrase = QStringLiteral("radar");
        w.FullListMode = frmMain::FlagOff;
        w.SubListMode = frmMain::FlagOn;
        w.LoadCitationList();
        w.ShowSelectedCitation();
        w.UpdateButtons();
    } else if (mode == "editing") {
        w.StartEdit();
    } else if (mode == "adding") {
        w.StartAdd();
    }
    QCoreApplication::processEvents();
    QVERIFY2(f.msgs.allMet(), qPrintable(f.msgs.report()));

    const struct {
        QKeyCombination keys;
        VellButton* button;
        const char* hint;
    } shortcuts[] = {
        {Qt::CTRL | Qt::Key_N, w.cmdAddEntry, "<Ctrl+N> "},
        {Qt::CTRL | Qt::Key_E, w.cmdEditEntry, "<Ctrl+E> "},
        {Qt::CTRL | Qt::Key_S, w.cmdAddSave, "<Ctrl+S> "},
        {Qt::CTRL | Qt::Key_S, w.cmdEditSave, "<Ctrl+S> "},
        {Qt::CTRL | Qt::Key_F, w.cmdFindEntries, "<Ctrl+F> "},
        {Qt::CTRL | Qt::Key_P, w.cmdPrintEntry, "<Ctrl+P> "},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_P, w.cmdPrintList, "<Ctrl+Shift+P> "},
        {Qt::CTRL | Qt::Key_Q, w.cmdQuit, "<Ctrl+Q> "},
    };
    // The buttons' own actions are cut off: only whether a key presses them counts.
    for (const auto& s : shortcuts)
        QObject::disconnect(s.button, &VellButton::Click, nullptr, nullptr);
    for (const auto& s : shortcuts) {
        const bool pressable = s.button->isVisible() && s.button->isEnabled();
        if (s.button->isVisible())
            QVERIFY2(s.button->ToolTipText().endsWith(QLatin1String(s.hint)), qPrintable(s.button->ToolTipText()));
        QSignalSpy clicks(s.button, &VellButton::Click);
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : static_cast<QWidget*>(&w);
        QTest::keyClick(target, s.keys.key(), s.keys.keyboardModifiers());
        QVERIFY2(clicks.count() == (pressable ? 1 : 0),
                 qPrintable(s.button->objectName() + QStringLiteral(" pressed %1 times").arg(clicks.count())));
    }
}

void tst_Keyboard::altLetterWithoutTargetTypesNothing()
{
    MainWindowFixture f;
    f.write({withChoices("A-1"), withChoices("B-2")});
    frmMain& w = f.open();
    for (bool adding : {true, false}) {
        adding ? w.StartAdd() : w.StartEdit();
        // "&Find" is hidden and "De&faults" disabled while adding or editing;
        // Alt+Z and Alt+7 name nothing at all.
        for (int i : {1, 2, 39, 48}) {
            w.MainTab->setCurrentIndex(i == 39 ? 4 : i == 48 ? 6 : 0);
            QWidget* box = w.txtField[size_t(i)].widget();
            box->setFocus();
            const QString before = w.txtField[size_t(i)]->text();
            for (Qt::Key key : {Qt::Key_F, Qt::Key_Z, Qt::Key_7})
                QTest::keyClick(box, key, Qt::AltModifier);
            QCOMPARE(w.txtField[size_t(i)]->text(), before);
            QVERIFY(adding ? w.Adding : w.Editing);
        }
        // Plain letters still type, and an access key still works.
        QTest::keyClick(w.txtField[48].widget(), Qt::Key_F);
        QVERIFY(w.txtField[48]->text().endsWith(u'f'));
        QTest::keyClick(w.txtField[48].widget(), Qt::Key_O, Qt::AltModifier);
        QCOMPARE(w.MainTab->currentIndex(), 3);
        QTest::keyClick(w.txtField[32].widget(), Qt::Key_Escape);
    }

    // The user dialog and the search dialog keep such keys out of their boxes too.
    auto* user = new frmAddEditUser(&w);
    user->Tag = QStringLiteral("Add a User");
    user->show();
    auto* find = new frmFind(&w);
    find->show();
    for (QLineEdit* box : {user->txtField[1], user->txtField[3], find->txtSearchPhrase}) {
        box->setText(QStringLiteral("Ab1"));
        QTest::keyClick(box, Qt::Key_Q, Qt::AltModifier);
        QTest::keyClick(box, Qt::Key_Y, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(box->text(), QStringLiteral("Ab1"));
    }
    delete find;
    delete user;
}

void tst_Keyboard::placementIsRestoredInsideTheScreen()
{
    // Saved on a large screen, restored on one that is smaller now.
    MainWindowFixture f;
    f.screen.size = QSize(1920, 1080);
    f.write({withChoices("A-1"), withChoices("B-2")});
    frmMain& first = f.open();
    first.resize(1600, 1000);
    first.move(300, 40);
    // Left while adding, it is remembered as it stood before the add shrank it.
    first.StartAdd();
    QVERIFY(first.height() < 1000);
    first.hide();
    QCOMPARE(f.settings.values.value("Windows/frmMain"), QStringLiteral("300,40,1600,1000"));
    delete f.window;

    // The same screen: the same place and size.
    frmMain& again = f.open();
    QCOMPARE(again.pos(), QPoint(300, 40));
    QCOMPARE(again.size(), QSize(1600, 1000));
    // The list took the extra room; the editor kept its height.
    QCOMPARE(again.frame[1]->height(), 1000 - again.frame[2]->height() - 3 * 6);
    delete f.window;

    struct Case {
        const char* saved;
        QRect available;
    };
    WriteUsers("User.List", {UserBytes500::user("Jane", "Doe", "abcd", 4)});
    const Case cases[] = {
        {"300,40,1600,1000", QRect(0, 0, 1024, 768)},
        {"1800,1000,900,700", QRect(0, 0, 1024, 768)},   // off the right and bottom
        {"-500,-300,900,700", QRect(0, 30, 1024, 738)},  // above and left of a top panel
        {"300,40,1600,1000,maximized", QRect(0, 0, 800, 600)},
    };
    for (const Case& c : cases) {
        f.settings.values["Windows/frmMain"] = QString::fromLatin1(c.saved);
        f.settings.values["Windows/frmAdmin"] = QString::fromLatin1(c.saved);
        f.screen.size = c.available.size() + QSize(0, c.available.top());
        f.screen.available = c.available;
        frmMain& w = f.open();
        auto* admin = new frmAdmin;
        const QSize adminSize = admin->size();
        admin->show();
        // A maximised window is sized by the window system; the rest must fit.
        const bool maximized = QByteArray(c.saved).endsWith("maximized");
        QCOMPARE(bool(w.windowState() & Qt::WindowMaximized), maximized);
        for (QWidget* window : {static_cast<QWidget*>(&w), static_cast<QWidget*>(admin)})
            if (window != &w || !maximized)
                QVERIFY2(c.available.contains(QRect(window->pos(), window->frameGeometry().size())),
                     qPrintable(QStringLiteral("%1 from %2 at %3,%4 %5x%6").arg(window->objectName(), c.saved)
                                    .arg(window->x()).arg(window->y()).arg(window->frameGeometry().width())
                                    .arg(window->frameGeometry().height())));
        QCOMPARE(admin->size(), adminSize); // a window of fixed size keeps it
        QVERIFY(w.size().width() >= w.minimumWidth() && w.size().height() >= w.minimumHeight());
        QVERIFY(w.rect().contains(w.frame[2]->geometry()));
        delete admin;
        delete f.window;
    }

    // What cannot be read is no placement: the window is centred as always.
    for (const char* damaged : {"", "1,2,3", "a,b,c,d", "10,10,0,-5", "1,2,3,4,5,6"}) {
        f.settings.values["Windows/frmMain"] = QString::fromLatin1(damaged);
        f.screen.size = QSize(1280, 1024);
        f.screen.available = QRect();
        frmMain& w = f.open();
        QVERIFY2(qAbs(w.frameGeometry().center().x() - 640) <= 1, damaged);
        delete f.window;
    }
}

QTEST_MAIN(tst_Keyboard)
#include "tst_keyboard.moc"

