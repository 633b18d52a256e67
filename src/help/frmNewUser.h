#pragma once
// The new-user overview: greets users who may be new on the way in from the
// title page, shows the program overview and offers not to show itself again.
#include <QDialog>

class Fader;
class QCheckBox;
class QLabel;
class VellButton;

class frmNewUser : public QDialog {
    Q_OBJECT
public:
    explicit frmNewUser(QWidget* parent = nullptr);

    QLabel* imgBackground;
    QLabel* lbl;
    QCheckBox* chk;
    VellButton* cmdContinue;
    Fader* fader;

    void cmdContinue_Click();
    // " Sennet - New User Overview".
    static QString Caption();
    // The greeting and the overview topic.
    static QString OverviewText();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Activate();
    void unload();
    bool m_activated = false;
};

// Shows the overview modally over `over` (the title page, which decides
// whether it is wanted and dims itself around it).
void ShowNewUserOverview(QWidget* over);
