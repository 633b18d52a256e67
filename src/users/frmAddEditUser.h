#pragma once
// The dialog in which an administrator enters a new user or views and
// changes an existing one. The admin window sets Tag ("Add a User" or
// "View/Edit this User"), the record to show and the button that learns of a
// save, then shows it modally.
#include "store/UserRecord.h"

#include <QDialog>
#include <QPixmap>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class Fader;
class VellButton;

class frmAddEditUser : public QDialog {
    Q_OBJECT
public:
    explicit frmAddEditUser(QWidget* parent = nullptr);

    // In: the mode; for view/edit, the record number of the chosen user.
    QString Tag;
    int SelectedRecordNumber = 0;
    // Out: receives the Tag "Update" when a save happened.
    VellButton* UpdateTagButton = nullptr;
    // Out: the user as saved.
    UserRecord SavedUser;

    static constexpr int CommentsLimit = 439;
    static const QString PasswordHint; // "<4 to 8 chars only>"

    // Boxes 1 to 3 (first name, last name, password); [0] unused.
    QLineEdit* txtField[4] = {};
    // Box 4, the comments ("txtField(4)").
    QPlainTextEdit* txtComments;
    // Shows the password in clear while ticked.
    QCheckBox* chkShowPassword = nullptr;
    QLabel* lblField[5] = {};
    QRadioButton* optAccessLevel[5] = {}; // 1..4
    QLabel* lblMandatory;
    QLabel* lblDateCreated;
    QLabel* lblSpaceFull;
    VellButton* cmdSave;
    VellButton* cmdCancel;
    Fader* fader;

    void cmdSave_Click();
    void cmdCancel_Click();
    void optAccessLevel_Click(int level);
    void txtField_Change(int index);

    bool isAddMode() const { return m_addMode; }
    int RecordNumber() const { return m_recordNumber; }
    int SelectedLevel() const { return m_level; }
    // The text of box 1..4 (comments with CR LF line breaks).
    QString fieldText(int index) const;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Activate();
    bool MandatoryEntriesMade() const;
    void ShowChangeMade();
    void UpdateSpaceFull();
    void FitAccessLevelOptions();
    void ShowPasswordAsTyped();
    void txtField_GotFocus(int index);
    void txtField_LostFocus(int index);
    void Unload();
    QWidget* box(int index) const;

    QPixmap m_background;
    bool m_addMode = true;
    bool m_activated = false;
    bool m_saved = false;
    qint16 m_recordNumber = 0;
    qint16 m_level = 1;
};
