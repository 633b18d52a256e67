#pragma once
// The title page: the program's name, description and version, and the
// Continue button that runs the checks and hands over to the first window.
#include <QWidget>

class QLabel;
class VellButton;
class Fader;

class frmTitlePage : public QWidget {
    Q_OBJECT
public:
    explicit frmTitlePage(QWidget* parent = nullptr);

    QLabel* imgBackground;
    QLabel* labelAppTitle;
    QLabel* labelAppDescription;
    QLabel* labelVersion;
    VellButton* cmdContinue;
    Fader* fader;

    void cmdContinue_Click();

    // "Version w3.15.21" for version 3.15, revision 21.
    static QString VersionText(int major, int minor, int revision);
    // The title page's tool tip: where the data files are.
    static QString DataFolderToolTip(const QString& folder);
    // On an agency's server: "Data on the server "h", database "d"".
    static QString ServerToolTip(const QString& place);
    // The warning for a screen narrower than 800 pixels.
    static QString ScreenWarningText(int width, int height);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Activate();
    void handOver();

    bool m_activated = false;
};
