#include "users/frmAuditLog.h"

#include "platform/ApplicationTitle.h"
#include "platform/Messages.h"
#include "store/DateValue.h"
#include "widgets/BusyGuard.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QString valueText(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined: return QStringLiteral("(empty)");
    case QJsonValue::Bool: return v.toBool() ? QStringLiteral("Yes") : QStringLiteral("No");
    case QJsonValue::Double: return QString::number(v.toDouble(), 'g', 17);
    case QJsonValue::String: {
        const QString s = v.toString();
        return s.isEmpty() ? QStringLiteral("(empty)") : u'"' + QString(s).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) + u'"';
    }
    default: return QString::fromUtf8(QJsonDocument::fromVariant(v.toVariant()).toJson(QJsonDocument::Compact));
    }
}

// The moment in the program's numeric date order and a 24-hour time.
QString momentText(const QDateTime& time)
{
    return time.isValid() ? FormatNumericDate(ToDateValue(time.date())) + time.toString(QStringLiteral(" HH:mm:ss"))
                          : QString();
}

} // namespace

QString AuditDetailsText(const AuditEntry& e)
{
    QStringList lines;
    if (e.number == 0) {
        lines << QStringLiteral("This line of the trail is not an entry the program wrote:")
              << e.details.value(QLatin1String("unreadable line")).toString();
        return lines.join(u'\n');
    }
    lines << QStringLiteral("Entry %1: %2").arg(e.number).arg(auditActionCaption(e.action));
    const int offset = e.time.offsetFromUtc();
    lines << QStringLiteral("When: %1 local time (UTC%2%3), %4 UTC")
                 .arg(momentText(e.time), offset < 0 ? QStringLiteral("-") : QStringLiteral("+"),
                      QTime(0, 0).addSecs(qAbs(offset)).toString(QStringLiteral("HH:mm")), momentText(e.time.toUTC()));
    lines << QStringLiteral("Who: %1 (access level %2) at desk %3").arg(e.user).arg(e.level).arg(e.desk);
    if (!e.citation.isEmpty() || e.key > 0)
        lines << QStringLiteral("Citation: %1 (record %2)").arg(e.citation).arg(e.key);
    const QJsonArray changes = e.details.value(QLatin1String("changes")).toArray();
    if (!changes.isEmpty()) {
        lines << QString() << QStringLiteral("Changed:");
        for (const QJsonValue& c : changes) {
            const QJsonObject o = c.toObject();
            const QString field = o.value(QLatin1String("field")).toString();
            lines << (o.contains(QLatin1String("changed"))
                          ? QStringLiteral("  %1: changed").arg(field)
                          : QStringLiteral("  %1: %2 -> %3")
                                .arg(field, valueText(o.value(QLatin1String("old"))), valueText(o.value(QLatin1String("new")))));
        }
    }
    const QJsonObject fields = e.details.value(QLatin1String("fields")).toObject();
    if (!fields.isEmpty()) {
        lines << QString()
              << (e.action == AuditAction::CitationDeleted ? QStringLiteral("The citation as it was deleted:")
                                                           : QStringLiteral("The citation:"));
        for (auto it = fields.begin(); it != fields.end(); ++it)
            lines << QStringLiteral("  %1: %2").arg(it.key(), valueText(it.value()));
    }
    bool heading = false;
    for (auto it = e.details.begin(); it != e.details.end(); ++it) {
        if (it.key() == QLatin1String("changes") || it.key() == QLatin1String("fields")
            || it.key() == QLatin1String("record"))
            continue;
        if (!heading) {
            lines << QString();
            heading = true;
        }
        QString value = valueText(it.value());
        if (it.value().isObject()) {
            QStringList parts;
            const QJsonObject o = it.value().toObject();
            for (auto m = o.begin(); m != o.end(); ++m)
                parts << m.key() + QStringLiteral(" ") + valueText(m.value());
            value = parts.join(QStringLiteral(", "));
        }
        lines << QStringLiteral("%1: %2").arg(it.key(), value);
    }
    lines << QString() << QStringLiteral("Hash: %1").arg(QString::fromLatin1(e.hash));
    return lines.join(u'\n');
}

AuditLogModel::AuditLogModel(AuditStore& store, QObject* parent) : QAbstractTableModel(parent), m_store(store) {}

bool AuditLogModel::setFilter(const AuditFilter& filter, FileError& error)
{
    beginResetModel();
    m_filter = filter;
    m_pages.clear();
    m_total = 0;
    QList<AuditEntry> first;
    const bool ok = m_store.read(filter, 0, PageSize, first, m_total, error);
    if (ok)
        m_pages.insert(0, first);
    else
        m_total = 0;
    endResetModel();
    return ok;
}

const QList<AuditEntry>* AuditLogModel::page(int row) const
{
    const qint64 start = qint64(row) / PageSize * PageSize;
    auto it = m_pages.find(start);
    if (it == m_pages.end()) {
        if (m_pages.size() > 64)
            m_pages.clear(); // a few thousand rows kept; scrolling back reads again
        QList<AuditEntry> entries;
        qint64 total = 0;
        FileError error;
        if (!m_store.read(m_filter, start, PageSize, entries, total, error))
            return nullptr;
        it = m_pages.insert(start, entries);
    }
    return &it.value();
}

AuditEntry AuditLogModel::entry(int row) const
{
    const QList<AuditEntry>* p = row >= 0 && row < rowCount() ? page(row) : nullptr;
    return p ? p->value(row % PageSize) : AuditEntry{};
}

int AuditLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(qMin<qint64>(m_total, std::numeric_limits<int>::max()));
}

int AuditLogModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant AuditLogModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::TextAlignmentRole && role != Qt::BackgroundRole))
        return {};
    if (role == Qt::TextAlignmentRole)
        return index.column() == Number || index.column() == Level ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                                   : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role == Qt::BackgroundRole)
        return index.row() % 2 ? QVariant(QColor(240, 240, 240)) : QVariant();
    const QList<AuditEntry>* p = page(index.row());
    if (!p || index.row() % PageSize >= p->size())
        return {};
    const AuditEntry& e = p->at(index.row() % PageSize);
    if (e.number == 0)
        return index.column() == Action ? QStringLiteral("(unreadable line)") : QVariant();
    switch (index.column()) {
    case Number: return QString::number(e.number);
    case Time: return momentText(e.time);
    case User: return e.user;
    case Level: return e.level > 0 ? QString::number(e.level) : QString();
    case Desk: return e.desk;
    case Action: return auditActionCaption(e.action);
    case Citation: return e.citation;
    default: return {};
    }
}

QVariant AuditLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const Names[] = {"Entry", "Date and Time", "User", "Level", "Desk", "Action", "Citation #"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(Names[section]) : QVariant();
}

frmAuditLog::frmAuditLog(AuditStore& store, const QString& citation, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAuditLog"));
    setWindowTitle(citation.trimmed().isEmpty()
                       ? ApplicationTitle() + QStringLiteral(" - Audit Trail")
                       : ApplicationTitle() + QStringLiteral(" - History of Citation ") + citation.trimmed());
    m_model = new AuditLogModel(store, this);

    auto box = [this](QLineEdit*& edit, const char* name, int width, const QString& tip) {
        edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setMaximumWidth(width);
        edit->setMinimumWidth(qMin(width, 110));
        edit->setToolTip(tip);
        return edit;
    };
    auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        l->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QString(text).remove(u'&')) + 4);
        return l;
    };
    const QString dateTip = QStringLiteral(" A date such as %1 (empty: no limit) ").arg(FormatNumericDate(ToDateValue(QDate(2026, 3, 7))));
    box(txtFrom, "txtFrom", 110, dateTip);
    box(txtTo, "txtTo", 110, dateTip);
    box(txtUser, "txtUser", 220, QStringLiteral(" The user's whole name, as the user list shows it "));
    box(txtCitation, "txtCitation", 140, QStringLiteral(" A citation number: its whole history "));
    txtCitation->setText(citation.trimmed());
    cboAction = new QComboBox(this);
    cboAction->setObjectName(QStringLiteral("cboAction"));
    cboAction->addItem(QStringLiteral("(Every action)"));
    for (int a = 0; a < int(AuditAction::Count); ++a)
        cboAction->addItem(auditActionCaption(AuditAction(a)), a);

    cmdFilter = new QPushButton(QStringLiteral("&Show"), this);
    cmdFilter->setObjectName(QStringLiteral("cmdFilter"));
    cmdFilter->setToolTip(QStringLiteral(" Show the entries that match "));
    cmdFilter->setDefault(true);
    cmdClear = new QPushButton(QStringLiteral("C&lear"), this);
    cmdClear->setObjectName(QStringLiteral("cmdClear"));
    cmdClear->setToolTip(QStringLiteral(" Show every entry "));
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);

    // Two rows of filters, each ended by its button.
    auto* dates = new QHBoxLayout;
    dates->addWidget(label(QStringLiteral("&From"), txtFrom));
    dates->addWidget(txtFrom);
    dates->addSpacing(8);
    dates->addWidget(label(QStringLiteral("&To"), txtTo));
    dates->addWidget(txtTo);
    dates->addSpacing(8);
    dates->addWidget(label(QStringLiteral("&User"), txtUser));
    dates->addWidget(txtUser, 1);
    dates->addSpacing(8);
    dates->addWidget(cmdFilter);
    auto* kinds = new QHBoxLayout;
    kinds->addWidget(label(QStringLiteral("&Action"), cboAction));
    kinds->addWidget(cboAction, 1);
    kinds->addSpacing(8);
    kinds->addWidget(label(QStringLiteral("C&itation #"), txtCitation));
    kinds->addWidget(txtCitation, 1);
    kinds->addSpacing(8);
    kinds->addWidget(cmdClear);
    for (QPushButton* button : {cmdFilter, cmdClear}) {
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        button->setFixedWidth(qMax(cmdFilter->sizeHint().width(), cmdClear->sizeHint().width()) + 12);
    }

    grid = new QTableView(this);
    grid->setObjectName(QStringLiteral("grid"));
    grid->setModel(m_model);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setTabKeyNavigation(false);
    grid->verticalHeader()->hide();
    // Uniform rows: the view never measures a million of them.
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->horizontalHeader()->setHighlightSections(false);
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int widths[] = {9, 20, 22, 6, 12, 18, 12};
    for (int c = 0; c < AuditLogModel::ColumnCount; ++c)
        grid->setColumnWidth(c, widths[c] * digit);

    txtDetails = new QPlainTextEdit(this);
    txtDetails->setObjectName(QStringLiteral("txtDetails"));
    txtDetails->setReadOnly(true);
    txtDetails->setTabChangesFocus(true);
    txtDetails->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtDetails->setAccessibleName(QStringLiteral("Details of the selected entry"));

    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(grid);
    split->addWidget(txtDetails);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setChildrenCollapsible(false);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblCount, 1);
    bottom->addWidget(cmdClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(dates);
    layout->addLayout(kinds);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);
    resize(900, 620);
    setMinimumSize(700, 420);

    connect(cmdFilter, &QPushButton::clicked, this, [this] { cmdFilter_Click(); });
    connect(cmdClear, &QPushButton::clicked, this, &frmAuditLog::cmdClear_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &frmAuditLog::showSelected);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_model->total() > 0)
            grid->selectRow(0);
        showSelected();
        showCount();
    });

    cmdFilter_Click();
    grid->setFocus();
}

bool frmAuditLog::cmdFilter_Click()
{
    AuditFilter filter;
    for (QLineEdit* edit : {txtFrom, txtTo}) {
        const QString text = edit->text().trimmed();
        if (text.isEmpty())
            continue;
        const std::optional<ParsedDateTime> date = ParseDateTime(text);
        if (!date || !date->hasDate) {
            MsgBox(QStringLiteral("I don't recognize %1 as a date.").arg(text), Msg::Exclamation,
                   QStringLiteral("Audit Trail"));
            edit->setFocus();
            edit->selectAll();
            return false;
        }
        (edit == txtFrom ? filter.from : filter.to) = DatePart(date->value);
    }
    if (filter.from.isValid() && filter.to.isValid() && filter.from > filter.to)
        std::swap(filter.from, filter.to);
    filter.user = txtUser->text().trimmed();
    filter.citation = txtCitation->text().trimmed();
    if (cboAction->currentIndex() > 0)
        filter.action = AuditAction(cboAction->currentData().toInt());
    FileError error;
    bool ok;
    {
        BusyGuard busy(this);
        ok = m_model->setFilter(filter, error);
    }
    if (!ok)
        MsgBox(error.message(), Msg::Critical, QStringLiteral("Audit Trail"));
    return ok;
}

void frmAuditLog::cmdClear_Click()
{
    for (QLineEdit* edit : {txtFrom, txtTo, txtUser, txtCitation})
        edit->clear();
    cboAction->setCurrentIndex(0);
    cmdFilter_Click();
}

void frmAuditLog::showSelected()
{
    const QModelIndex current = grid->selectionModel() ? grid->selectionModel()->currentIndex() : QModelIndex();
    txtDetails->setPlainText(current.isValid() ? AuditDetailsText(m_model->entry(current.row())) : QString());
}

void frmAuditLog::showCount()
{
    const qint64 n = m_model->total();
    lblCount->setText(m_model->filter().isEmpty()
                          ? QStringLiteral("%L1 entr%2, newest first").arg(n).arg(n == 1 ? "y" : "ies")
                          : QStringLiteral("%L1 matching entr%2, newest first").arg(n).arg(n == 1 ? "y" : "ies"));
}
