#pragma once
// The audit trail viewer: every entry, newest first, in a table; filters by
// date range, user, action and citation number; the details of the selected
// entry below. Opened from user administration for the whole trail, or from
// a citation for its own history. It reads through an AuditStore, a page of
// entries at a time, so a trail of millions opens at once.
#include "storage/AuditStore.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QHash>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;

// The entries matching a filter, fetched from the store a page at a time as
// rows are drawn.
class AuditLogModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Number, Time, User, Level, Desk, Action, Citation, ColumnCount };
    explicit AuditLogModel(AuditStore& store, QObject* parent = nullptr);

    // Reads the count of matching entries and the first page; false with
    // `error` set when the store cannot be read (the table is then empty).
    bool setFilter(const AuditFilter& filter, FileError& error);
    const AuditFilter& filter() const { return m_filter; }
    qint64 total() const { return m_total; }
    // The entry of a row (read when needed); an empty entry when unreadable.
    AuditEntry entry(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static constexpr int PageSize = 256;

private:
    const QList<AuditEntry>* page(int row) const;

    AuditStore& m_store;
    AuditFilter m_filter;
    qint64 m_total = 0;
    mutable QHash<qint64, QList<AuditEntry>> m_pages; // by first row
};

// The details of an entry as the viewer shows them: each changed field with
// its old and new value, a citation's fields, the rest member by member.
QString AuditDetailsText(const AuditEntry& entry);

class frmAuditLog final : public QDialog {
    Q_OBJECT
public:
    // `citation` not empty: opens on that citation's history.
    explicit frmAuditLog(AuditStore& store, const QString& citation = QString(), QWidget* parent = nullptr);

    QTableView* grid = nullptr;
    QLineEdit* txtFrom = nullptr;
    QLineEdit* txtTo = nullptr;
    QLineEdit* txtUser = nullptr;
    QComboBox* cboAction = nullptr;
    QLineEdit* txtCitation = nullptr;
    QPushButton* cmdFilter = nullptr;
    QPushButton* cmdClear = nullptr;
    QPushButton* cmdClose = nullptr;
    QLabel* lblCount = nullptr;
    QPlainTextEdit* txtDetails = nullptr;

    AuditLogModel& model() { return *m_model; }

    // Reads the filter boxes and shows what matches. False (nothing changed)
    // when a date cannot be read: the user is told and the box has the focus.
    bool cmdFilter_Click();
    void cmdClear_Click();

private:
    void showSelected();
    void showCount();

    AuditLogModel* m_model = nullptr;
};
