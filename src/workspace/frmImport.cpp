#include "workspace/frmImport.h"

#include "platform/ApplicationTitle.h"
#include "widgets/VellButton.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

// The rows as a table model: a hundred thousand rows cost no widgets.
class ImportRowsModel final : public QAbstractTableModel {
public:
    enum Column { Import, Line, State, Number, Date, Code, Field, Message, Columns };

    explicit ImportRowsModel(const ImportPreview& preview, QObject* parent)
        : QAbstractTableModel(parent), m_preview(preview)
    {
    }

    QSet<int> ticked;

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_preview.rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : Columns; }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char* const headings[Columns] = {"Import", "Line", "State", "Citation Number",
                                                      "Offense Date", "Code Section", "Field", "Message"};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < Columns)
            return QString::fromLatin1(headings[section]);
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (index.column() == Import && isDuplicate(index.row()))
            f |= Qt::ItemIsUserCheckable;
        return f;
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        const ImportRow& row = m_preview.rows[index.row()];
        if (role == Qt::CheckStateRole && index.column() == Import) {
            if (row.state == ImportState::Refused)
                return {};
            const bool on = row.state == ImportState::Ready || ticked.contains(index.row());
            return on ? Qt::Checked : Qt::Unchecked;
        }
        if (role == Qt::ForegroundRole && index.column() == State && row.state == ImportState::Refused)
            return QColor(192, 0, 0);
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
            return {};
        switch (index.column()) {
        case Line: return QString::number(row.line);
        case State: return stateText(row.state);
        case Number: return row.citationNumber;
        case Date: return row.offenseDate;
        case Code: return row.codeSection;
        case Field: return row.field;
        case Message: return row.message;
        default: return {};
        }
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (role != Qt::CheckStateRole || index.column() != Import || !isDuplicate(index.row()))
            return false;
        if (value.toInt() == Qt::Checked)
            ticked.insert(index.row());
        else
            ticked.remove(index.row());
        emit dataChanged(index, index, {Qt::CheckStateRole});
        return true;
    }

    static QString stateText(ImportState state)
    {
        switch (state) {
        case ImportState::Ready: return QStringLiteral("Ready");
        case ImportState::DuplicateOnFile: return QStringLiteral("Number on file");
        case ImportState::DuplicateInFile: return QStringLiteral("Number twice in the file");
        case ImportState::Refused: return QStringLiteral("Refused");
        }
        return {};
    }

private:
    bool isDuplicate(int row) const
    {
        const ImportState s = m_preview.rows[row].state;
        return s == ImportState::DuplicateOnFile || s == ImportState::DuplicateInFile;
    }

    const ImportPreview& m_preview;
};

namespace {
QString counted(int n, const char* one, const char* many)
{
    return n == 1 ? QStringLiteral("1 ") + QLatin1String(one) : QString::number(n) + u' ' + QLatin1String(many);
}
} // namespace

frmImport::frmImport(const ImportPreview& preview, QWidget* parent)
    : QDialog(parent), m_preview(preview)
{
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(QStringLiteral("Import Citations - ") + ApplicationTitle());

    const int duplicates = preview.count(ImportState::DuplicateOnFile) + preview.count(ImportState::DuplicateInFile);
    QString summary = QStringLiteral("%1 in \"%2\": %3 ready, %4, %5.")
                          .arg(counted(int(preview.rows.size()), "row", "rows"), preview.fileName)
                          .arg(preview.count(ImportState::Ready))
                          .arg(counted(duplicates, "duplicate citation number", "duplicate citation numbers"),
                               counted(preview.count(ImportState::Refused), "row refused", "rows refused"));
    if (duplicates > 0)
        summary += QStringLiteral("\nTick a duplicate to import it all the same.");
    if (!preview.ignoredColumns.isEmpty())
        summary += QStringLiteral("\nNot imported, as no field has that heading: ")
            + preview.ignoredColumns.join(QStringLiteral(", ")) + u'.';
    summary += QStringLiteral("\nDate Entered and Time Entered will be the moment of the import.");
    lblSummary = new QLabel(summary, this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);

    m_model = new ImportRowsModel(preview, this);
    gridRows = new QTableView(this);
    gridRows->setObjectName(QStringLiteral("gridRows"));
    gridRows->setAccessibleName(QStringLiteral("Rows of the file"));
    gridRows->setModel(m_model);
    gridRows->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridRows->setSelectionMode(QAbstractItemView::SingleSelection);
    gridRows->setWordWrap(false);
    gridRows->verticalHeader()->hide();
    gridRows->verticalHeader()->setDefaultSectionSize(gridRows->fontMetrics().height() + 6);
    gridRows->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    gridRows->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {52, 48, 170, 110, 90, 90, 170};
    for (int c = 0; c < int(std::size(widths)); ++c)
        gridRows->setColumnWidth(c, widths[c]);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &frmImport::updateImportButton);

    auto makeButton = [this](const char* name) {
        auto* b = new VellButton(QLatin1String(name), this);
        b->setFixedSize(120, 40);
        b->setBackColor(QColor(228, 232, 240));
        b->setBackOver(QColor(255, 244, 200));
        b->setForeColor(QColor(0, 0, 0));
        b->setForeOver(QColor(0, 0, 128));
        return b;
    };
    cmdImport = makeButton("cmdImport");
    cmdCancel = makeButton("cmdCancel");
    cmdCancel->setCaption(QStringLiteral("&Cancel"));
    cmdCancel->setToolTipText(QStringLiteral(" Close without importing anything "));
    connect(cmdImport, &VellButton::Click, this, &QDialog::accept);
    connect(cmdCancel, &VellButton::Click, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary);
    layout->addWidget(gridRows, 1);
    layout->addLayout(buttons);
    resize(1040, 560);
    updateImportButton();
}

QSet<int> frmImport::tickedRows() const { return m_model->ticked; }

int frmImport::citationsToImport() const
{
    return m_preview.count(ImportState::Ready) + int(m_model->ticked.size());
}

void frmImport::updateImportButton()
{
    const int n = citationsToImport();
    cmdImport->setCaption(QStringLiteral("&Import") + QStringLiteral("\r\n") + counted(n, "Citation", "Citations"));
    cmdImport->setEnabled(n > 0);
    cmdImport->setToolTipText(QStringLiteral(" Add the ticked rows to the citations on file "));
}
