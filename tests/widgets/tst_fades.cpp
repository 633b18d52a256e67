// Window fades driven tick by tick: the steps, the landing on the end value,
// the window's state while fading, the close action, and when fades happen
// at all (the setting, the admin window's switch, the platform).
#include "Doubles.h"
#include "help/HelpTopics.h"
#include "help/frmManual.h"
#include "session/AppSettings.h"
#include "widgets/modFadeInOut.h"
#include "workspace/frmFind.h"

#include <QLineEdit>
#include <QTest>

namespace {
// Runs a fade to its end one tick at a time; returns the number of ticks.
int runTicks(Fader& fader, QWidget& window, QList<int>* alphas = nullptr, bool* disabledThroughout = nullptr)
{
    int ticks = 0;
    while (fader.isRunning() && ticks < 1000) {
        fader.tick();
        ++ticks;
        if (alphas)
            alphas->append(fader.currentAlpha());
        if (disabledThroughout && fader.isRunning() && window.isEnabled())
            *disabledThroughout = false;
    }
    return ticks;
}
} // namespace

class tst_Fades : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        OverrideFadeSupport(std::nullopt);
        SetFadeFlag(false);
    }
    void ticksLandOnTheEndWithoutOvershooting();
    void closeAfterRunsTheCloseAction();
    void settingDecidesWhetherWindowsFade();
};

void tst_Fades::ticksLandOnTheEndWithoutOvershooting()
{
    QWidget window;
    auto* edit = new QLineEdit(&window);
    window.show();
    edit->setFocus();
    Fader fader(&window);

    QList<int> alphas;
    bool disabled = true;
    fader.StartFade(255, 204, 2, false);
    QCOMPARE(runTicks(fader, window, &alphas, &disabled), 26);
    QCOMPARE(alphas.first(), 253);
    QCOMPARE(alphas.last(), 204);
    QVERIFY2(disabled, "no input while the window fades");
    QVERIFY(window.isEnabled());
    QCOMPARE(window.focusWidget(), edit);

    // Upwards, with a step that does not divide the distance.
    alphas.clear();
    fader.StartFade(0, 255, 40, false);
    QCOMPARE(runTicks(fader, window, &alphas), 7);
    QCOMPARE(alphas, (QList<int>{40, 80, 120, 160, 200, 240, 255}));

    // Start equal to end: one tick applies it and ends the fade.
    alphas.clear();
    fader.StartFade(217, 217, 2, false);
    QCOMPARE(runTicks(fader, window, &alphas), 1);
    QCOMPARE(alphas, QList<int>{217});
    QVERIFY(window.isEnabled());

    // A fade started while one runs restarts from the new start.
    fader.StartFade(255, 0, 20, false);
    fader.tick();
    fader.StartFade(0, 255, 20, false);
    fader.tick();
    QCOMPARE(fader.currentAlpha(), 20);
    runTicks(fader, window);
}

void tst_Fades::closeAfterRunsTheCloseAction()
{
    QWidget window;
    window.show();
    Fader fader(&window);
    int closed = 0;
    fader.closeAction = [&] { ++closed; };
    fader.StartFade(255, 0, 20, true);
    QCOMPARE(runTicks(fader, window), 13);
    QCOMPARE(closed, 1);
    QVERIFY2(!window.isEnabled(), "a window that closes after its fade takes no more input");
}

void tst_Fades::settingDecidesWhetherWindowsFade()
{
    MemorySettings settings;
    OverrideFadeSupport(true);

    // No "FadeStatus": nothing fades, every window shows at once, opaque.
    {
        frmFind dialog;
        QVERIFY(!FadeFlag());
        dialog.show();
        QVERIFY(!dialog.fader->isRunning());
        QCOMPARE(dialog.windowOpacity(), 1.0);
    }
    // Fades on: a window loads transparent and fades in on its first showing.
    settings.values["Defaults/FadeStatus"] = "1";
    {
        RequestedHelpTopic = 1;
        frmManual help;
        QVERIFY(FadeFlag());
        QCOMPARE(help.windowOpacity(), 0.0);
        help.show();
        QVERIFY(help.fader->isRunning());
        QCOMPARE(runTicks(*help.fader, help), 13);
        QCOMPARE(help.windowOpacity(), 1.0);
        QVERIFY(help.isEnabled());
    }
    // Switched off (as the admin window's box does): the next window does
    // not fade, without a restart.
    SaveDefaultsSetting(SettingKey::FadeStatus, QStringLiteral("0"));
    SetFadeFlag(false);
    {
        frmFind dialog;
        QVERIFY(!FadeFlag());
        dialog.show();
        QVERIFY(!dialog.fader->isRunning());
    }
    // A platform without translucent windows never fades, whatever is set.
    OverrideFadeSupport(false);
    settings.values["Defaults/FadeStatus"] = "1";
    {
        frmFind dialog;
        QVERIFY(!FadeFlag());
    }
}

QTEST_MAIN(tst_Fades)
#include "tst_fades.moc"
