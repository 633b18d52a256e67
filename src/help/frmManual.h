#pragma once
// The help window: one topic at a time, a title line above the topic's
// text, a pop-up menu of every topic, printing of the shown topic. It opens
// modally on RequestedHelpTopic and is made afresh for every opening.
#include <QDialog>
#include <array>

class Fader;
class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class VellButton;

class frmManual : public QDialog {
    Q_OBJECT
public:
    explicit frmManual(QWidget* parent = nullptr);

    QLabel* labelHelpTopic;
    QPlainTextEdit* txtManual;
    VellButton* cmdHelpTopic = nullptr;
    VellButton* cmdPrintHelp = nullptr;
    VellButton* cmdReturn = nullptr;
    QMenu* menuHelpMenu;
    std::array<QAction*, 11> menuHelpTopic{}; // items 1..10, index 0 unused
    Fader* fader;

    // The index of the topic on display; 0 before the first is shown.
    qint16 CurrentTopic = 0;

    void ShowTopic(int index);
    void cmdHelpTopic_Click();
    void cmdPrintHelp_Click();
    void cmdReturn_Click();

    // "Sennet -  Help Screen": the form's own caption has a blank in front.
    static QString Caption();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Form_Activate();
    void unload();
    bool m_activated = false;
};

// Opens the help window on `topic` (a menu index) over `over`, modally.
void ShowHelpWindow(int topic, QWidget* over);
