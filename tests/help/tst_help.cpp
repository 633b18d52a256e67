// The help window and the new-user overview: the topic shown, the topic
// menu, printing a topic, the keys, and what the overview stores.
#include "DataFiles.h"
#include "Doubles.h"
#include "help/HelpTopics.h"
#include "help/frmManual.h"
#include "help/frmNewUser.h"
#include "session/AppSettings.h"
#include "store/AnsiText.h"
#include "widgets/VellButton.h"
#include "widgets/modFadeInOut.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSet>
#include <QTest>

namespace {
// A help window shown on `topic`, as the callers open it (but not modally).
frmManual* openHelp(int topic)
{
    RequestedHelpTopic = qint16(topic);
    auto* w = new frmManual;
    w->show();
    QCoreApplication::processEvents();
    return w;
}
} // namespace

class tst_Help : public QObject {
    Q_OBJECT
private slots:
    void init() { SetFadeFlag(false); }
    void everyTopicHasItsOwnText();
    void opensOnTheRequestedTopic();
    void menuChoicesThatChangeNothing();
    void keysOpenTheMenuAndClose();
    void printsTheShownTopicUnderItsHeading();
    void overviewStoresTheChoiceOnlyByContinue();
};

void tst_Help::everyTopicHasItsOwnText()
{
    QSet<QString> seen;
    for (int number = 100; number <= 800; number += 100) {
        const QString text = HelpTopicText(number);
        QVERIFY2(text.size() > 200, qPrintable(QString::number(number)));
        QVERIFY2(Ansi::canEncode(text), "topic texts print in the printer's single-byte font");
        seen.insert(text);
    }
    QCOMPARE(seen.size(), 8);
    QVERIFY(HelpTopicText(0).isEmpty());
    QVERIFY(HelpTopicText(900).isEmpty());
}

void tst_Help::opensOnTheRequestedTopic()
{
    const QList<QPair<int, QString>> cases{{1, "Overview"},          {3, "The Admin window"},
                                           {4, "The Main window"},   {5, "Adding an entry"},
                                           {6, "Editing an entry"},  {8, "Finding/Sub-listing entries"},
                                           {9, "Printing options"}};
    for (const auto& [index, caption] : cases) {
        std::unique_ptr<frmManual> w(openHelp(index));
        QCOMPARE(w->windowTitle(), QStringLiteral("Sennet -  Help Screen"));
        QCOMPARE(w->CurrentTopic, qint16(index));
        QCOMPARE(w->labelHelpTopic->text(), caption);
        QCOMPARE(w->txtManual->toPlainText(), HelpTopicText(HelpMenuItemAt(index).topicNumber));
        for (int i = 1; i <= HelpMenuItemCount; ++i)
            QCOMPARE(w->menuHelpTopic[size_t(i)]->isChecked(), i == index);
        QCOMPARE(w->cmdReturn->ToolTipText(), QStringLiteral(" Close this Help window <Esc> "));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->cmdHelpTopic));
    }
}

void tst_Help::menuChoicesThatChangeNothing()
{
    std::unique_ptr<frmManual> w(openHelp(4));
    // The topic on display chosen again is not reloaded: a mark put in its
    // text stays.
    w->txtManual->appendPlainText(QStringLiteral("MARK"));
    w->txtManual->setFocus();
    w->menuHelpTopic[4]->trigger();
    QVERIFY(w->txtManual->toPlainText().endsWith(QStringLiteral("MARK")));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->cmdHelpTopic));

    for (int index : {2, HelpMenuItemCount}) { // the separator and "Exit this Menu"
        w->menuHelpTopic[size_t(index)]->trigger();
        QCOMPARE(w->CurrentTopic, qint16(4));
        QVERIFY(w->menuHelpTopic[4]->isChecked());
    }
    QCOMPARE(w->menuHelpTopic[size_t(HelpMenuItemCount)]->text(), QStringLiteral("Exit this Menu"));

    w->menuHelpTopic[7]->trigger();
    QCOMPARE(w->labelHelpTopic->text(), QStringLiteral("Deleting an entry"));
    QVERIFY(!w->menuHelpTopic[4]->isChecked());
}

void tst_Help::keysOpenTheMenuAndClose()
{
    std::unique_ptr<frmManual> w(openHelp(1));
    QApplication::setActiveWindow(w.get());
    QTest::keyClick(w.get(), Qt::Key_F1);
    QTRY_VERIFY(w->menuHelpMenu->isVisible());
    w->menuHelpMenu->close();
    QVERIFY(w->isVisible());
    QTest::keyClick(w.get(), Qt::Key_Escape);
    QVERIFY(!w->isVisible());
    QCOMPARE(w->result(), int(QDialog::Accepted));
}

void tst_Help::printsTheShownTopicUnderItsHeading()
{
    RecordingPrinter printer;
    ScriptedPrintOutput output;
    output.destination = PrintDestination::Printer;
    std::unique_ptr<frmManual> w(openHelp(1));
    printer.setFont(PrintFont{QStringLiteral("Courier"), 14, true, true, true}); // left over from another printout
    w->cmdPrintHelp->click();
    QCOMPARE(printer.pages, 1);
    const QStringList lines = printer.lines(1);
    QCOMPARE(lines.first(), QStringLiteral("Sennet, Help Section: Overview"));
    QVERIFY(printer.items.first().font.underline);
    const RecordingPrinter::Item& text = printer.items.at(1);
    QCOMPARE(text.font.name, QStringLiteral("Arial"));
    QCOMPARE(text.font.size, 10.0);
    QVERIFY(!text.font.bold && !text.font.italic && !text.font.underline);
    QVERIFY(!lines.join(u' ').contains(QStringLiteral("(page")));
    // The topic's paragraphs keep their breaks.
    QVERIFY(lines.contains(QString()) || lines.size() > 8);

    // A longer text numbers its pages from the second one.
    RecordingPrinter second;
    QStringList many;
    for (int i = 0; i < 120; ++i)
        many << QStringLiteral("line %1").arg(i);
    w->txtManual->setPlainText(many.join(u'\n'));
    w->cmdPrintHelp->click();
    QVERIFY(second.pages >= 3);
    QVERIFY(second.itemsStartingWith(QStringLiteral("(page 1)")).isEmpty());
    QCOMPARE(second.itemsStartingWith(QStringLiteral("(page 2)")).size(), 1);
    QVERIFY(w->isEnabled());
}

void tst_Help::overviewStoresTheChoiceOnlyByContinue()
{
    MemorySettings settings;
    {
        frmNewUser w;
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral(" Sennet - New User Overview"));
        QVERIFY(w.lbl->text().startsWith(
            QStringLiteral("Are you a new user? If so, then let's take a moment for a quick overview.\n\n")));
        QVERIFY(w.lbl->text().endsWith(HelpTopicText(100)));
        QVERIFY2(w.lbl->heightForWidth(w.lbl->width()) <= w.lbl->height(), "the whole overview shows");
        QVERIFY(!w.chk->isChecked());
        w.cmdContinue->click(); // box clear: nothing written
        QVERIFY(!w.isVisible());
    }
    QVERIFY(!settings.has(SettingsSection, SettingKey::NewUser));
    QVERIFY(ShouldShowNewUserOverview());
    {
        frmNewUser w;
        w.show();
        w.chk->setChecked(true);
        w.close(); // by the title bar: the choice is not stored
    }
    QVERIFY(ShouldShowNewUserOverview());
    {
        frmNewUser w;
        w.show();
        w.chk->setChecked(true);
        w.cmdContinue->click();
    }
    QCOMPARE(settings.values.value(QStringLiteral("Defaults/NewUser")), QStringLiteral("NoShow"));
    QVERIFY(!ShouldShowNewUserOverview());
}

QTEST_MAIN(tst_Help)
#include "tst_help.moc"
