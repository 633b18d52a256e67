// The search dialog, driven through its controls and keys.
#include "Doubles.h"
#include "widgets/VellButton.h"
#include "widgets/modFadeInOut.h"
#include "store/SearchSettings.h"
#include "workspace/frmFind.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

namespace {

// Clicks a check box or option where a user does: on its mark.
void clickMark(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2)); }

// The settings as one text, and the dialog's choices in the same form.
QString settingsText()
{
    const SearchSettings& s = searchSettings();
    return QStringLiteral("'%1' scope %2 case %3 word %4").arg(s.phrase).arg(s.scope).arg(s.ignoreCase).arg(s.wholeWord);
}
QString choicesText(frmFind& dlg)
{
    QString scopes;
    for (int i = 1; i <= 8; ++i)
        if (dlg.findChild<QRadioButton*>(QStringLiteral("optFind(%1)").arg(i))->isChecked())
            scopes += QString::number(i);
    return QStringLiteral("'%1' scope %2 case %3 word %4")
        .arg(dlg.txtSearchPhrase->text(), scopes)
        .arg(int(dlg.chkCapStatus->isChecked()))
        .arg(int(dlg.chkWholeWordStatus->isChecked()));
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

    void firstOpeningAndTyping()
    {
        FakeScreen screen(1280, 1024, 96.0);
        frmFind dlg;
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral(" Sennet -  Find Citation(s)"));
        QCOMPARE(dlg.size(), QSize(393, 393)); // 5900 twips at 15 twips a pixel
        QCOMPARE(dlg.lblFind->text(), QStringLiteral("\r\nEnter a word or phrase\r\n(whole or partial)\r\nto search for--"));
        QCOMPARE(dlg.optFind[2]->text(), QStringLiteral("Search all text except 'Notes'"));
        QCOMPARE(dlg.optFind[8]->text(), QStringLiteral("Search 'Notes' tab only"));
        QCOMPARE(dlg.cmdFind->Caption(), QStringLiteral("&Find\r\n<Enter>"));
        QCOMPARE(dlg.cmdCancel->Caption(), QStringLiteral("&Cancel\r\n<Esc>"));
        QCOMPARE(dlg.cmdCancel->ToolTipText(), QStringLiteral(" Cancel searching for now "));
        QCOMPARE(choicesText(dlg), QStringLiteral("'' scope 1 case 1 word 0"));
        QVERIFY(!dlg.cmdFind->isEnabled());
        QCOMPARE(dlg.focusWidget(), dlg.txtSearchPhrase);

        QTest::keyClicks(dlg.txtSearchPhrase, QStringLiteral("   "));
        QVERIFY(!dlg.cmdFind->isEnabled());
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
        QCOMPARE(settingsText(), QStringLiteral("'' scope 1 case 1 word 0"));
    }

    void findAndCancel_writeTheSettingsBack()
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
        }
        QCOMPARE(settingsText(), QStringLiteral("'speed limit' scope 5 case 0 word 1"));
        {
            frmFind dlg;
            dlg.show();
            QCOMPARE(choicesText(dlg), settingsText());
            QCOMPARE(dlg.txtSearchPhrase->selectedText(), QStringLiteral("speed limit"));
            QVERIFY(dlg.cmdFind->isEnabled());
            clickMark(dlg.optFind[8]);
            QTest::mouseClick(dlg.cmdCancel, Qt::LeftButton);
            QVERIFY(!dlg.isVisible());
        }
        QCOMPARE(settingsText(), QStringLiteral("'' scope 8 case 0 word 1"));
        frmFind dlg;
        dlg.show();
        QCOMPARE(choicesText(dlg), settingsText());
        QVERIFY(!dlg.cmdFind->isEnabled());
    }

    void keysAndCloseBox()
    {
        {
            frmFind dlg; // Enter finds, through exec() as the main window shows it
            QTimer::singleShot(0, &dlg, [&] {
                QTest::keyClicks(dlg.txtSearchPhrase, QStringLiteral("2006/09"));
                QTest::keyClick(dlg.txtSearchPhrase, Qt::Key_Return);
                if (dlg.isVisible())
                    dlg.reject(); // fail rather than wait
            });
            QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        }
        QCOMPARE(settingsText(), QStringLiteral("'2006/09' scope 1 case 1 word 0"));
        {
            frmFind dlg; // Esc cancels and keeps the options
            dlg.show();
            clickMark(dlg.optFind[3]);
            QTest::keyClick(dlg.optFind[3], Qt::Key_Escape);
            QVERIFY(!dlg.isVisible());
        }
        QCOMPARE(settingsText(), QStringLiteral("'' scope 3 case 1 word 0"));

        // Closing the window leaves the settings as they were.
        searchSettings().phrase = QStringLiteral("Elm");
        frmFind dlg;
        dlg.show();
        clickMark(dlg.optFind[2]);
        clickMark(dlg.chkWholeWordStatus);
        QVERIFY(dlg.close());
        QCOMPARE(settingsText(), QStringLiteral("'Elm' scope 3 case 1 word 0"));
    }

    void fading_inThenOutBeforeClosing()
    {
        frmFind dlg;
        SetFadeFlag(true); // the offscreen platform cannot fade; the ticks are driven by hand
        dlg.show();
        auto ticksToEnd = [&] {
            int ticks = 0;
            for (; dlg.fader->isRunning() && ticks < 100; ++ticks)
                dlg.fader->tick();
            return ticks;
        };
        QCOMPARE(ticksToEnd(), 13); // 0 to 255 in steps of 20
        QVERIFY(dlg.isEnabled());
        QCOMPARE(dlg.focusWidget(), dlg.txtSearchPhrase);

        QTest::keyClicks(dlg.txtSearchPhrase, QStringLiteral("Route 9"));
        QTest::mouseClick(dlg.cmdFind, Qt::LeftButton);
        QCOMPARE(searchSettings().phrase, QStringLiteral("Route 9"));
        QVERIFY(dlg.isVisible() && !dlg.isEnabled());
        QCOMPARE(ticksToEnd(), 13);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(tst_frmFind)
#include "tst_frmfind.moc"
