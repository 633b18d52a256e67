// What a screen reader finds in every window: each control named (by its
// caption, its label or a name of its own) and of its kind, the list cells
// readable, and a visible mark on the button that has the focus.
#include "UserFiles.h"
#include "workspace/MainWindowFixture.h"

#include "app/frmTitlePage.h"
#include "help/frmManual.h"
#include "help/frmNewUser.h"
#include "users/frmAddEditUser.h"
#include "users/frmAdmin.h"
#include "widgets/VellButton.h"
#include "workspace/frmFind.h"
#include "workspace/frmStatistics.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

namespace {

// The role a control of this kind must have; NoRole for what is no control
// of its own (the parts of a spin box, a table's headers).
QAccessible::Role expectedRole(QWidget* w)
{
    if (w->focusPolicy() == Qt::NoFocus || qobject_cast<QAbstractSpinBox*>(w->parentWidget()))
        return QAccessible::NoRole;
    if (qobject_cast<QAbstractSpinBox*>(w))
        return QAccessible::SpinBox;
    if (qobject_cast<QRadioButton*>(w))
        return QAccessible::RadioButton;
    if (qobject_cast<QCheckBox*>(w))
        return QAccessible::CheckBox;
    if (qobject_cast<QAbstractButton*>(w))
        return QAccessible::Button;
    if (qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w))
        return QAccessible::EditableText;
    if (qobject_cast<QTabBar*>(w))
        return QAccessible::PageTabList;
    if (qobject_cast<QAbstractItemView*>(w))
        return QAccessible::Table;
    return QAccessible::NoRole;
}

// Every control the keyboard or the mouse can reach, as "object: problem".
QStringList unnamedControls(QWidget* window)
{
    QStringList problems;
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        const QAccessible::Role role = expectedRole(w);
        if (role == QAccessible::NoRole)
            continue;
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
        const QString name = iface ? iface->text(QAccessible::Name).trimmed() : QString();
        const QString id = window->objectName() + u'/' + w->objectName() + u'(' + QString::fromLatin1(w->metaObject()->className()) + u')';
        if (name.isEmpty())
            problems << id + QStringLiteral(": no name");
        QAccessible::Role actual = iface ? iface->role() : QAccessible::NoRole;
        // A multi-line box that cannot be changed reads as text all the same.
        if (role == QAccessible::EditableText && actual == QAccessible::StaticText)
            actual = role;
        if (actual != role && !(role == QAccessible::Button && actual == QAccessible::PushButton))
            problems << id + QStringLiteral(": role %1").arg(int(actual));
        if (auto* button = qobject_cast<VellButton*>(w); button && !button->ShowFocusRect())
            problems << id + QStringLiteral(": no focus mark");
    }
    return problems;
}

} // namespace

class tst_Accessibility : public QObject {
    Q_OBJECT
private slots:
    void everyControlOfEveryWindowIsNamed();
    void listCellsAreRead();
};

void tst_Accessibility::everyControlOfEveryWindowIsNamed()
{
    MainWindowFixture f;
    WriteUsers("User.List", {UserBytes500::user("Jane", "Doe", "abcd", 4)});
    f.write({citation("A-1", QDate(2006, 1, 5)), citation("B-2", QDate(2006, 3, 1))});
    QStringList problems;

    frmMain& w = f.open();
    problems << unnamedControls(&w);
    w.StartAdd();
    problems << unnamedControls(&w);
    w.EndAdd();

    auto* title = new frmTitlePage;
    title->show();
    problems << unnamedControls(title);
    delete title;

    auto* admin = new frmAdmin;
    admin->show();
    QCoreApplication::processEvents();
    problems << unnamedControls(admin);
    auto* user = new frmAddEditUser(admin);
    user->Tag = QStringLiteral("Add a User");
    user->show();
    problems << unnamedControls(user);
    delete admin;

    const QList<QDialog*> dialogs{new frmFind(&w), new frmManual(&w), new frmNewUser(&w),
                                  new frmStatistics(f.listedRecords(), QStringLiteral(" All Entries "), &w)};
    for (QDialog* d : dialogs) {
        d->show();
        QCoreApplication::processEvents();
        problems << unnamedControls(d);
        delete d;
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

void tst_Accessibility::listCellsAreRead()
{
    MainWindowFixture f;
    CitationBytes3000 c = citation("VA-12345", QDate(2006, 7, 4));
    c.text("CodeSection", "46.2-862").text("OccurredOn", "RT 50 EAST").text("OccurredAt", "FAIRFAX CIRCLE");
    f.write({c});
    frmMain& w = f.open();
    QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(w.grid);
    QVERIFY(grid && grid->tableInterface());
    QCOMPARE(grid->text(QAccessible::Name), QStringLiteral("Citation list"));
    QStringList cells;
    for (int column = 0; column < 4; ++column) {
        QAccessibleInterface* cell = grid->tableInterface()->cellAt(0, column);
        QVERIFY(cell);
        cells << cell->text(QAccessible::Name);
    }
    QCOMPARE(cells, QStringList({"07/04/2006", "VA-12345", "46.2-862", "RT 50 EAST / FAIRFAX CIRCLE"}));
    QAccessibleInterface* heading = grid->tableInterface()->cellAt(0, 0)->tableCellInterface()->columnHeaderCells().value(0);
    QVERIFY(heading);
    // Qt hands a header cell out without keeping it: registering gives it to
    // Qt's cache, which deletes it with the others.
    QAccessible::uniqueId(heading);
    QCOMPARE(heading->text(QAccessible::Name), QStringLiteral("Date"));
}

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
