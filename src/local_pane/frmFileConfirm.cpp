#include "frmFileConfirm.h"

#include "DialogWidgets.h"
#include "ErrorLog.h"
#include "FileListModel.h"
#include "ModListView.h"
#include "Prompts.h"
#include "TallestLineDelegate.h"
#include "WildcardPattern.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>
#include <utility>

namespace {

const QString kObject = QStringLiteral("frmFileConfirm");
constexpr int kKeyRole = Qt::UserRole + 1;
constexpr int kBytesRole = Qt::UserRole + 2;
constexpr int kTimeRole = Qt::UserRole + 3;

QString twoDecimals(double value) { return QString::number(value, 'f', 2); }

qint64 minuteOf(const QDateTime &time)
{
    const qint64 seconds = time.toSecsSinceEpoch();
    return seconds >= 0 ? seconds / 60 : -((-seconds + 59) / 60);
}

} // namespace

frmFileConfirm::frmFileConfirm(QWidget *parent)
    : QDialog(parent), m_probe(ProbeStorage)
{
    setObjectName(kObject);
    setModal(true);
    resize(640, 480);

    LV = new QTreeWidget(this);
    LV->setObjectName(QStringLiteral("LV"));
    LV->setRootIsDecorated(false);
    LV->setUniformRowHeights(true);
    // Every row as tall as a name in another script needs: "_" and descenders stay in sight.
    m_rowHeights = new TallestLineDelegate(LV);
    LV->setItemDelegate(m_rowHeights);
    LV->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LV->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Size"), QStringLiteral("Location"),
                         QStringLiteral("Modified")});
    LV->setContextMenuPolicy(Qt::CustomContextMenu);
    LV->header()->setSectionsClickable(true);
    LV->header()->setSortIndicatorShown(true);
    Frame1 = new QGroupBox(this);
    auto *frameLayout = new QVBoxLayout(Frame1);
    frameLayout->addWidget(LV);

    mnuCtxt = new QMenu(this);
    QAction *mnuCheck = mnuCtxt->addAction(QStringLiteral("&Check"));
    QAction *mnuUncheck = mnuCtxt->addAction(QStringLiteral("&Uncheck"));
    connect(mnuCheck, &QAction::triggered, this, [this] { CheckList(true); });
    connect(mnuUncheck, &QAction::triggered, this, [this] { CheckList(false); });
    connect(LV, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        if (!LV->selectedItems().isEmpty())
            mnuCtxt->popup(LV->viewport()->mapToGlobal(at));
    });

    Check1[0] = new QCheckBox(QStringLiteral("Filter by file pattern"), this);
    txtExt = MakeLineEdit(QStringLiteral("txtExt"), 0, this);
    txtExt->setText(QStringLiteral("*.<My Ext>"));
    Check1[1] = new QCheckBox(QStringLiteral("Filter by file size"), this);
    cboSize = new QComboBox(this);
    cboSize->addItems({QStringLiteral("At Least"), QStringLiteral("At Most")});
    txtSize = MakeLineEdit(QStringLiteral("txtSize"), 0, this);
    txtSize->setText(QStringLiteral("10.0"));
    Check1[2] = new QCheckBox(QStringLiteral("Filter by file modified date"), this);
    cboDate = new QComboBox(this);
    cboDate->addItems({QStringLiteral("Before"), QStringLiteral("After")});
    DTP1 = new QDateTimeEdit(QDateTime::currentDateTime(), this);
    DTP1->setCalendarPopup(true);
    CmdFilter = MakeDialogButton(QStringLiteral("CmdFilter"), QStringLiteral("&Uncheck By Filters"), this);
    for (QCheckBox *box : Check1)
        connect(box, &QCheckBox::toggled, this, &frmFileConfirm::Check1_Click);

    auto *filters = new QGridLayout;
    filters->addWidget(Check1[0], 0, 0);
    filters->addWidget(txtExt, 0, 1, 1, 2);
    filters->addWidget(new QLabel(QStringLiteral("Delimit  patterns by semi-colon ( ; )"), this), 0, 3);
    filters->addWidget(Check1[1], 1, 0);
    filters->addWidget(cboSize, 1, 1);
    filters->addWidget(txtSize, 1, 2);
    filters->addWidget(new QLabel(QStringLiteral("( KB )"), this), 1, 3);
    filters->addWidget(Check1[2], 2, 0);
    filters->addWidget(cboDate, 2, 1);
    filters->addWidget(DTP1, 2, 2);
    filters->addWidget(CmdFilter, 2, 3);

    lblCount = new QLabel(this);
    lblSize = new QLabel(this);
    auto *summary = new QHBoxLayout;
    summary->addWidget(lblCount);
    summary->addStretch();
    summary->addWidget(lblSize);

    CmdDo = MakeDialogButton(QStringLiteral("CmdDo"), QString(), this);
    Cmdtask = MakeDialogButton(QStringLiteral("Cmdtask"), QString(), this);
    CmdCnc = MakeDialogButton(QStringLiteral("CmdCnc"), QStringLiteral("&Cancel"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CmdDo);
    buttons->addWidget(Cmdtask);
    buttons->addWidget(CmdCnc);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame1, 1);
    layout->addLayout(summary);
    layout->addLayout(filters);
    layout->addLayout(buttons);

    connect(CmdFilter, &QPushButton::clicked, this, &frmFileConfirm::CmdFilter_Click);
    connect(CmdDo, &QPushButton::clicked, this, &frmFileConfirm::CmdDo_Click);
    connect(Cmdtask, &QPushButton::clicked, this, &frmFileConfirm::Cmdtask_Click);
    connect(CmdCnc, &QPushButton::clicked, this, &frmFileConfirm::cmdCnc_Click);
    connect(LV, &QTreeWidget::itemChanged, this, &frmFileConfirm::LV_ItemCheck);
    connect(LV->header(), &QHeaderView::sectionClicked, this, &frmFileConfirm::LV_ColumnClick);

    // Sort marks: every header a dot, then "Modified" ascending.
    const QIcon dot = style()->standardIcon(QStyle::SP_MediaStop);
    SetHeaderImageList(LV, {{QStringLiteral("dot"), dot},
                            {QStringLiteral("arr_up"), style()->standardIcon(QStyle::SP_ArrowUp)},
                            {QStringLiteral("arr_dn"), style()->standardIcon(QStyle::SP_ArrowDown)}});
    for (int column = 0; column < LV->columnCount(); ++column)
        LV->model()->setHeaderData(column, Qt::Horizontal, QStringLiteral("dot"), HeaderIconKeyRole);
    LV->setSortingEnabled(false);
    SortListView(LV, ColModified, true);
    Check1_Click();
    SetAction(kUpload);
}

void frmFileConfirm::SetAction(const QString &action)
{
    m_action = action;
    m_filling = true;
    LV->clear();
    m_rowHeights->Clear();
    m_filling = false;
    Cmdtask->setVisible(action != kDelete);
    if (action == kDownload) {
        setWindowTitle(QStringLiteral("Confirm File Downloads"));
        Frame1->setTitle(QStringLiteral("You can uncheck the files which should not be downloaded"));
        CmdDo->setText(QStringLiteral("&Download"));
        Cmdtask->setText(QStringLiteral("Add As Download &Job"));
    } else if (action == kDelete) {
        setWindowTitle(QStringLiteral("Confirm File Deletes"));
        Frame1->setTitle(QStringLiteral("You can uncheck the files which should not be deleted"));
        CmdDo->setText(QStringLiteral("&Delete"));
    } else {
        setWindowTitle(QStringLiteral("Confirm File Uploads"));
        Frame1->setTitle(QStringLiteral("You can uncheck the files which should not be uploaded"));
        CmdDo->setText(QStringLiteral("&Upload"));
        Cmdtask->setText(QStringLiteral("Add As Upload &Job"));
    }
}

void frmFileConfirm::AddRow(qint64 index, const QString &name, qint64 sizeBytes, const QString &location,
                            const QString &modifiedText, const QDateTime &modified)
{
    m_filling = true;
    auto *item = new QTreeWidgetItem;
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setText(ColFile, name);
    item->setData(ColFile, kKeyRole, QStringLiteral("F") + QString::number(index));
    item->setData(ColFile, kBytesRole, sizeBytes);
    item->setText(ColSize, FormatKilobytes(sizeBytes).trimmed());
    item->setText(ColLocation, location);
    m_rowHeights->Measure(name, LV->font());
    m_rowHeights->Measure(location, LV->font());
    if (modified.isValid()) {
        item->setText(ColModified, modifiedText);
        item->setData(ColModified, kTimeRole, modified);
    }
    item->setCheckState(ColFile, Qt::Checked);
    LV->addTopLevelItem(item);
    m_filling = false;
}

void frmFileConfirm::FinishRows()
{
    SortListView(LV, ColModified, true);
    RefreshCountSize();
}

bool frmFileConfirm::IsDownloadList() const
{
    return CmdDo->text().compare(QLatin1String("&Download"), Qt::CaseInsensitive) == 0;
}

double frmFileConfirm::ShownKilobytes(qint64 bytes)
{
    return std::round(static_cast<double>(bytes) / 1024.0 * 10.0) / 10.0;
}

double frmFileConfirm::LeadingNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    QString number;
    bool mark = false;
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const QChar c = trimmed.at(i);
        if (c.isDigit() && c.unicode() < 128) {
            number += c;
        } else if ((c == u'.' || c == u',') && !mark) {
            mark = true;
            number += u'.';
        } else if ((c == u'-' || c == u'+') && i == 0) {
            number += c;
        } else {
            break;
        }
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0.0;
}

bool frmFileConfirm::rowChecked(const QTreeWidgetItem *item) const { return item->checkState(ColFile) == Qt::Checked; }

qint64 frmFileConfirm::rowBytes(const QTreeWidgetItem *item) const { return item->data(ColFile, kBytesRole).toLongLong(); }

void frmFileConfirm::writeSummary()
{
    SelectedSizeKB = static_cast<double>(m_selectedBytes) / 1024.0;
    lblCount->setText(QStringLiteral("Total selected files: ") + QString::number(SelectedCount));
    lblSize->setText(QStringLiteral("Total Size (KB): ") + twoDecimals(SelectedSizeKB));
}

void frmFileConfirm::setButtons(bool enabled)
{
    CmdDo->setEnabled(enabled);
    Cmdtask->setEnabled(enabled);
}

void frmFileConfirm::LV_ItemCheck(QTreeWidgetItem *item, int column)
{
    try {
        if (m_filling || !item || column != ColFile)
            return;
        // itemChanged also reports text edits; recount to stay exact whatever changed.
        RefreshCountSize();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("LV_ItemCheck"));
    }
}

void frmFileConfirm::LV_ColumnClick(int column)
{
    try {
        HandleLVSort(LV, column);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("LV_ColumnClick"));
    }
}

void frmFileConfirm::CheckList(bool state)
{
    try {
        m_filling = true;
        for (int i = 0; i < LV->topLevelItemCount(); ++i) {
            QTreeWidgetItem *item = LV->topLevelItem(i);
            if (item->isSelected())
                item->setCheckState(ColFile, state ? Qt::Checked : Qt::Unchecked);
        }
        m_filling = false;
        RefreshCountSize();
    } catch (...) {
        m_filling = false;
        LogCurrentException(kObject, QStringLiteral("CheckList"));
    }
}

void frmFileConfirm::RefreshCountSize()
{
    try {
        SelectedCount = 0;
        m_selectedBytes = 0;
        for (int i = 0; i < LV->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = LV->topLevelItem(i);
            if (!rowChecked(item))
                continue;
            ++SelectedCount;
            m_selectedBytes += rowBytes(item);
        }
        writeSummary();
        setButtons(SelectedCount > 0);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("RefreshCountSize"));
    }
}

void frmFileConfirm::Check1_Click()
{
    txtExt->setEnabled(Check1[0]->isChecked());
    cboSize->setEnabled(Check1[1]->isChecked());
    txtSize->setEnabled(Check1[1]->isChecked());
    cboDate->setEnabled(Check1[2]->isChecked());
    DTP1->setEnabled(Check1[2]->isChecked());
    CmdFilter->setEnabled(Check1[0]->isChecked() || Check1[1]->isChecked() || Check1[2]->isChecked());
}

void frmFileConfirm::CmdFilter_Click()
{
    try {
        QString patterns = txtExt->text().trimmed();
        if (patterns.size() > 1) {
            if (patterns.startsWith(QLatin1Char(';')))
                patterns.remove(0, 1);
            if (patterns.endsWith(QLatin1Char(';')))
                patterns.chop(1);
        }
        txtExt->setText(patterns);
        const bool byPattern = Check1[0]->isChecked() && patterns.size() > 1;
        const WildcardPatternList patternList(patterns);
        const double bound = static_cast<float>(LeadingNumber(txtSize->text()));
        txtSize->setText(twoDecimals(bound));
        const bool bySize = Check1[1]->isChecked();
        const bool atLeast = cboSize->currentIndex() == 0;
        const bool byDate = Check1[2]->isChecked();
        const bool before = cboDate->currentIndex() == 0;
        const qint64 pickerMinute = minuteOf(DTP1->dateTime());
        // Rounded to the shown tenth on both sides so 10.0 shown equals a bound of 10.
        const qint64 boundTenths = std::llround(bound * 10.0);

        m_filling = true;
        for (int i = 0; i < LV->topLevelItemCount(); ++i) {
            QTreeWidgetItem *item = LV->topLevelItem(i);
            if (byPattern && patternList.Matches(item->text(ColFile))) {
                item->setCheckState(ColFile, Qt::Unchecked);
                continue;
            }
            if (bySize) {
                const qint64 shownTenths = std::llround(ShownKilobytes(rowBytes(item)) * 10.0);
                if ((atLeast && shownTenths < boundTenths) || (!atLeast && shownTenths > boundTenths)) {
                    item->setCheckState(ColFile, Qt::Unchecked);
                    continue;
                }
            }
            if (byDate) {
                const QDateTime time = item->data(ColModified, kTimeRole).toDateTime();
                if (!time.isValid())
                    continue;
                const qint64 minutes = pickerMinute - minuteOf(time);
                if ((before && minutes > 0) || (!before && minutes < 0))
                    item->setCheckState(ColFile, Qt::Unchecked);
            }
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CmdFilter_Click"));
    }
    m_filling = false;
    RefreshCountSize();
}

QList<qint64> frmFileConfirm::CheckedEntries()
{
    QList<qint64> indices;
    try {
        SortListView(LV, ColModified, true);
        for (int i = 0; i < LV->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = LV->topLevelItem(i);
            if (!rowChecked(item))
                continue;
            bool ok = false;
            const qint64 index = item->data(ColFile, kKeyRole).toString().mid(1).toLongLong(&ok);
            if (ok)
                indices.append(index);
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CheckedEntries"));
    }
    return indices;
}

void frmFileConfirm::answer(const QString &tag)
{
    m_tag = tag;
    hide();
    setResult(tag.isEmpty() ? QDialog::Rejected : QDialog::Accepted);
    done(result());
}

void frmFileConfirm::CmdDo_Click()
{
    if (!IsLowDiskSpace())
        answer(QStringLiteral("*"));
}

void frmFileConfirm::Cmdtask_Click()
{
    if (!IsLowDiskSpace())
        answer(QStringLiteral("J"));
}

void frmFileConfirm::cmdCnc_Click()
{
    try {
        if (IsDownloadList()) {
            const PromptButton choice = ShowMessage(
                this, PromptIcon::Question, PromptButtons::YesNo, QStringLiteral("Confirm!"),
                QStringLiteral("Remote listing is costly in terms of time and resource. \r\n\r\nCancel the download process ?"));
            if (choice != PromptButton::Yes)
                return;
        }
        answer(QString());
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("cmdCnc_Click"));
    }
}

bool frmFileConfirm::IsLowDiskSpace()
{
    try {
        if (!IsDownloadList() || !m_probe)
            return false;
        const StorageState state = m_probe(m_downloadFolder);
        bool low = false;
        if (state.readOnlyMedia) {
            ShowMessage(this, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Low Disk Space"),
                        QStringLiteral("Don't expect Ftp Qor to be able to write to CDs. Please change local folder to "
                                       "writable one before downloads."));
            low = true;
        }
        const double needed = (SelectedSizeKB + 100.0) * 1024.0;
        if (state.freeBytes >= 0 && static_cast<double>(state.freeBytes) < needed) {
            ShowMessage(this, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Low Disk Space"),
                        QStringLiteral("The local disk space available is ")
                            + QString::number(static_cast<double>(state.freeBytes) / 1024.0, 'f', 1)
                            + QStringLiteral("KB and download size is ") + QString::number(SelectedSizeKB, 'f', 1)
                            + QStringLiteral("KB !\r\n\r\nPlease unselect some files so that download can complete."));
            low = true;
        }
        return low;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("IsLowDiskSpace"));
        return false;
    }
}

void frmFileConfirm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The list has its laid-out width only now; before, the fractions would
    // apply to a widget that was never sized.
    if (!std::exchange(m_widthsSet, true)) {
        SetColumnWidths(LV, QStringLiteral("0.27;0.12;0.35;0.2"));
        // A size reads whole: the name column gives way, down to a fifth of the list.
        WidenColumnToContents(LV, ColSize, ColFile, LV->width() / 5);
    }
}

void frmFileConfirm::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double-click on the background toggles the list's grid-like row shading.
    LV->setAlternatingRowColors(!LV->alternatingRowColors());
    QDialog::mouseDoubleClickEvent(event);
}
