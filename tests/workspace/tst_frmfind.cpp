// The search dialog, driven through its controls and keys.
#include "Doubles.h"
#include "widgets/VellButton.h"
#include "widgets/modFadeInOut.h"
#include "workspace/SearchSettings.h"
#include "workspace/frmFind.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

namespace {

bool sameSettings(const SearchSettings& a, const SearchSettings& b)
{
    return a.phrase == b.phrase && a.scope == b.scope && a.ignoreCase == b.ignoreCase && a.wholeWord == b.wholeWord;
}

// Clicks a check box or option where a user does: on its mark.
void clickMark(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

int checkedScope(frmFind& dlg)
{
    int found = 0;
    for (int i = 1; i <= 8; ++i) {
        QRadioButton* option = dlg.findChild<QRadioButton*>(QStringLiteral("optFind(%1)").arg(i));
        if (option && option->isChecked())
            found = found ? -1 : i; // -1: more than one chosen
    }
    return found;
}

} // namespace

class tst_frmFind : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        searchSettings() = SearchSettings();
        SetFadeFlag(false);
    }

    void firstOpening()
    {
        FakeScreen screen(1280, 1024, 96.0);
        frmFind dlg;
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral(" Sennet -  Find Citation(s)"));
        QCOMPARE(dlg.size(), QSize(393, 393)); // 5900 twips at 15 twips a pixel
        QCOMPARE(dlg.lblFind->text(),
                 QStringLiteral("\r\nEnter a word or phrase\r\n(whole or partial)\r\nto search for--"));

        QCOMPARE(dlg.cmdFind->Caption(), QStringLiteral("&Find\r\n<Enter>"));
        QVERIFY(!dlg.cmdFind->isEnabled());
        QVERIFY(dlg.cmdFind->isDefault());
        QCOMPARE(dlg.cmdCancel->Caption(), QStringLiteral("&Cancel\r\n<Esc>"));
        QCOMPARE(dlg.cmdCancel->ToolTipText(), QStringLiteral(" Cancel searching for now "));

        const QStringList captions = {"Search all text",           "Search all text except 'Notes'",
                                      "Search 'Defendant' tab only", "Search 'Vehicle' tab only",
                                      "Search 'Offense' tab only",   "Search 'Location' tab only",
                                      "Search 'Court' tab only",     "Search 'Notes' tab only"};
        for (int i = 1; i <= 8; ++i)
            QCOMPARE(dlg.findChild<QRadioButton*>(QStringLiteral("optFind(%1)").arg(i))->text(), captions[i - 1]);
        QCOMPARE(checkedScope(dlg), 1);
        QCOMPARE(dlg.chkCapStatus->text(), QStringLiteral("Ignore capitalization"));
        QVERIFY(dlg.chkCapStatus->isChecked());
        QCOMPARE(dlg.chkWholeWordStatus->text(), QStringLiteral("&Whole word only"));
        QVERIFY(!dlg.chkWholeWordStatus->isChecked());
        QCOMPARE(dlg.txtSearchPhrase->text(), QString());
        QCOMPARE(dlg.focusWidget(), dlg.txtSearchPhrase);
    }

    void typingEnablesFind()
    {
        frmFind dlg;
        dlg.show();
        QTest::keyClicks(dlg.txtSearchPhrase, QStringLiteral("   "));
        QVERIFY(!dlg.cmdFind->isEnabled());
        QCOMPARE(dlg.cmdFind->ToolTipText(), QString());

        QTest::keyClicks(dlg.txtSearchPhrase, QStringLiteral("x y "));
        QVERIFY(dlg.cmdFind->isEnabled());
        QCOMPARE(dlg.cmdFind->ToolTipText(), QStringLiteral(" Start Searching for 'x y' "));

        for (int i = 0; i < 4; ++i)
            QTest::keyClick(dlg.txtSearchPhrase, Qt::Key_Backspace);
        QVERIFY(!dlg.cmdFind->isEnabled());
        QCOMPARE(dlg.cmdFind->ToolTipText(), QString());

        // A blank phrase cannot be confirmed with Enter either.
        QTest::keyClick(dlg.txtSearchPhrase, Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QVERIFY(sameSettings(searchSettings(), SearchSettings()));
    }

    void find_writesTheSettingsAndTheNextOpeningShowsThem()
    {
        {
            frmFind dlg;
            dlg.show();
            clickMark(dlg.optFind[5]);
            clickMark(dlg.chkCapStatus);
            clickMark(dlg.chkWholeWordStatus);
            QTest::keyClicks(dlg.txtSearchPhrase, QStringLiteral("  speed limit "));
            QTest::mouseClick(dlg.cmdFind, Qt::LeftButton);
            QVERIFY(!dlg.isVisible());
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
        }
        const SearchSettings& s = searchSettings();
        QCOMPARE(s.phrase, QStringLiteral("speed limit"));
        QCOMPARE(s.scope, qint16(5));
        QCOMPARE(s.ignoreCase, qint16(0));
        QCOMPARE(s.wholeWord, qint16(1));

        frmFind again;
        again.show();
        QCOMPARE(again.txtSearchPhrase->text(), QStringLiteral("speed limit"));
        QCOMPARE(again.txtSearchPhrase->selectedText(), QStringLiteral("speed limit"));
        QCOMPARE(checkedScope(again), 5);
        QVERIFY(!again.chkCapStatus->isChecked());
        QVERIFY(again.chkWholeWordStatus->isChecked());
        QVERIFY(again.cmdFind->isEnabled());
        QCOMPARE(again.cmdFind->ToolTipText(), QStringLiteral(" Start Searching for 'speed limit' "));
    }

    void cancel_keepsTheOptionsAndEmptiesThePhrase()
    {
        searchSettings().phrase = QStringLiteral("Main St");
        {
            frmFind dlg;
            dlg.show();
            clickMark(dlg.optFind[8]);
            QTest::mouseClick(dlg.cmdCancel, Qt::LeftButton);
            QVERIFY(!dlg.isVisible());
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
        }
        QCOMPARE(searchSettings().phrase, QString());
        QCOMPARE(searchSettings().scope, qint16(8));

        frmFind again;
        again.show();
        QCOMPARE(checkedScope(again), 8);
        QCOMPARE(again.txtSearchPhrase->text(), QString());
        QVERIFY(!again.cmdFind->isEnabled());
    }

    void keys_doWhatTheCaptionsSay()
    {
        // Enter finds, through exec() as the main window shows it.
        {
            frmFind dlg;
            QTimer::singleShot(0, &dlg, [&] {
                QTest::keyClicks(dlg.txtSearchPhrase, QStringLiteral("2006/09"));
                QTest::keyClick(dlg.txtSearchPhrase, Qt::Key_Return);
            });
            QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        }
        QCOMPARE(searchSettings().phrase, QStringLiteral("2006/09"));

        // Esc cancels, keeping the options chosen.
        {
            frmFind dlg;
            dlg.show();
            clickMark(dlg.optFind[3]);
            QTest::keyClick(dlg.optFind[3], Qt::Key_Escape);
            QVERIFY(!dlg.isVisible());
        }
        QCOMPARE(searchSettings().phrase, QString());
        QCOMPARE(searchSettings().scope, qint16(3));

        // The access keys reach their controls (which then play their
        // press animation before clicking).
        {
            frmFind dlg;
            dlg.show();
            dlg.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&dlg));
            QTest::keyClick(&dlg, Qt::Key_W, Qt::AltModifier);
            QVERIFY(dlg.chkWholeWordStatus->isDown());
            QTest::keyClicks(dlg.txtSearchPhrase, QStringLiteral("oak"));
            QTest::keyClick(&dlg, Qt::Key_F, Qt::AltModifier);
            QVERIFY(dlg.cmdFind->isDown());
            QTest::keyClick(&dlg, Qt::Key_C, Qt::AltModifier);
            QVERIFY(dlg.cmdCancel->isDown());
        }
    }

    void closingTheWindow_leavesTheSettingsAlone()
    {
        SearchSettings before;
        before.phrase = QStringLiteral("Elm");
        before.scope = 6;
        before.wholeWord = 1;
        searchSettings() = before;
        frmFind dlg;
        dlg.show();
        clickMark(dlg.optFind[2]);
        clickMark(dlg.chkWholeWordStatus);
        QTest::keyClicks(dlg.txtSearchPhrase, QStringLiteral("wood"));
        QVERIFY(dlg.close());
        QVERIFY(!dlg.isVisible());
        QVERIFY(sameSettings(searchSettings(), before));
    }

    void fading_inAndOutBeforeClosing()
    {
        frmFind dlg;
        SetFadeFlag(true); // the offscreen platform cannot fade; drive the ticks by hand
        dlg.show();
        QVERIFY(dlg.fader->isRunning());
        int ticks = 0;
        while (dlg.fader->isRunning() && ticks < 100) {
            dlg.fader->tick();
            ++ticks;
        }
        QCOMPARE(ticks, 13); // 0 to 255 in steps of 20
        QVERIFY(dlg.isEnabled());
        QCOMPARE(dlg.focusWidget(), dlg.txtSearchPhrase);

        QTest::keyClicks(dlg.txtSearchPhrase, QStringLiteral("Route 9"));
        QTest::mouseClick(dlg.cmdFind, Qt::LeftButton);
        QCOMPARE(searchSettings().phrase, QStringLiteral("Route 9"));
        QVERIFY(dlg.isVisible()); // still fading out
        QVERIFY(!dlg.isEnabled());
        ticks = 0;
        while (dlg.fader->isRunning() && ticks < 100) {
            dlg.fader->tick();
            ++ticks;
        }
        QCOMPARE(ticks, 13);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(tst_frmFind)
#include "tst_frmfind.moc"
