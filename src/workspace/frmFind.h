#pragma once
// The search dialog: collects a word or phrase, the scope to search and two
// options into the search settings of this run (searchSettings()). The main
// window makes a new one for every search and shows it with exec(); a
// non-empty phrase in the settings afterwards means "search now".
#include <QDialog>
#include <array>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class Fader;
class VellButton;

class frmFind : public QDialog {
    Q_OBJECT
public:
    explicit frmFind(QWidget* parent = nullptr);

    QLabel* imgBackground;
    QLabel* lblFind;
    QLineEdit* txtSearchPhrase;
    std::array<QRadioButton*, 9> optFind{}; // [1..8]; [0] unused
    QCheckBox* chkCapStatus;
    QCheckBox* chkWholeWordStatus;
    VellButton* cmdFind;
    VellButton* cmdCancel;
    Fader* fader;

    void txtSearchPhrase_Change();
    void cmdFind_Click();
    void cmdCancel_Click();

    // The index (1..8) of the chosen scope.
    int selectedScope() const;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Activate();
    void unload();

    QButtonGroup* m_scopes;
    bool m_activated = false;
    bool m_confirmed = false;
};
