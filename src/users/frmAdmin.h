#pragma once
// The admin window: the gate to the program. Users pick their name from the
// user list and log in with their password; after the installation's access
// code an administrator adds, views/edits and deletes users and reviews the
// user log. It also holds the switch for window fades.
#include <QPixmap>
#include <QWidget>

class QCheckBox;
class QFrame;
class QLineEdit;
class QLabel;
class QPlainTextEdit;
class QTableView;
class QTimer;
class Fader;
class UserGridModel;
class VellButton;

class frmAdmin : public QWidget {
    Q_OBJECT
public:
    explicit frmAdmin(QWidget* parent = nullptr);

    QTableView* grid;
    UserGridModel* gridModel;
    VellButton* cmdUserSelected;
    QLineEdit* txtPassword;
    VellButton* cmdContinue;
    VellButton* cmdCancel;
    VellButton* cmdAdmin;
    VellButton* cmdAddUser;
    VellButton* cmdEditUser;
    VellButton* cmdDeleteUser;
    VellButton* cmdReviewUserLog;
    // The audit trail viewer (admin mode, beside the user log).
    VellButton* cmdAuditLog;
    QPlainTextEdit* txtUserLog;
    // Stands in the grid's place while there are no users: how to add the first.
    QLabel* lblFirstStart = nullptr;
    static QString FirstStartText();
    VellButton* cmdHelp;
    VellButton* cmdQuit;
    QFrame* shpFadeStatus;
    QCheckBox* chkFadeStatus;
    QTimer* timerFlashButton;
    Fader* fader;

    // Holds the caption while the log view replaces it.
    QString Tag;

    void cmdUserSelected_Click();
    void txtPassword_Change();
    void cmdContinue_Click();
    void cmdCancel_Click();
    void cmdAdmin_Click();
    void cmdAddUser_Click();
    void cmdEditUser_Click();
    void cmdDeleteUser_Click();
    void cmdReviewUserLog_Click();
    void cmdAuditLog_Click();
    void cmdHelp_Click();
    void cmdQuit_Click();
    void chkFadeStatus_Click();
    void timerFlashButton_Timer();
    void grid_DblClick();
    // Shift+Alt+A: tells the access code.
    void ShowAccessCode();

    void LoadGrid();
    void SetButtons();

    // The grid's tool tip over grid row `row` (0 is the heading row).
    QString GridToolTip(int row) const;
    // The highlighted user row, counted from 1 under the heading; 0 for none.
    int SelectedRow() const;
    // The first user row in view, counted from 1.
    int TopRow() const;

    bool isAdminMode() const { return m_adminMode; }
    bool isLogViewMode() const { return m_logView; }
    const QString& AccessCode() const { return m_accessCode; }
    struct FlashState {
        qint16 foreLevel, backLevel, step;
    };
    FlashState flashState() const { return {m_foreLevel, m_backLevel, m_step}; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void Form_Activate();
    void FadeStartUpCheck();
    void ShowUserLog();
    void HideUserLog();
    void SelectGridRow(int row);
    void AddOrEditUser(bool add);
    // The record number in the "RecNum" column of the highlighted row; 0 for none.
    int SelectedRecordNumber() const;
    void FadeClosed();
    void HandOverToMainWindow();

    QPixmap m_background;
    bool m_adminMode = false;
    bool m_logView = false;
    bool m_activated = false;
    bool m_activationPending = false;
    bool m_firstLoad = true;
    bool m_handingOver = false;
    QString m_accessCode;
    qint16 m_foreLevel = 0;
    qint16 m_backLevel = 0;
    qint16 m_step = 0;
    int m_reselectRow = 1;
    int m_userLogTop = 0;
};
