#pragma once

#include "StorageProbe.h"

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QString>

#include <array>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TallestLineDelegate;

// "Confirm File Uploads / Downloads / Deletes": every file a batch would
// touch, checked; the user unchecks files one by one, by selection or by
// filters, then runs the batch, queues it as jobs or cancels. The answer is
// left in Tag(): "*" run now, "J" add as jobs, "" cancelled.
class frmFileConfirm : public QDialog
{
    Q_OBJECT
public:
    // Action codes of the list.
    static inline const QString kUpload = QStringLiteral("UP");
    static inline const QString kDownload = QStringLiteral("DN");
    static inline const QString kDelete = QStringLiteral("DEL");

    // Columns of the list.
    enum Column { ColFile = 0, ColSize = 1, ColLocation = 2, ColModified = 3 };

    explicit frmFileConfirm(QWidget *parent = nullptr);

    // Sets the captions and buttons for an action code; clears the rows.
    void SetAction(const QString &action);
    // Adds the row of entry `index` (key "F" + index), checked. "Modified"
    // shows `modifiedText` when `modified` (local wall-clock time) is valid,
    // else stays empty and the date filter leaves the row alone.
    void AddRow(qint64 index, const QString &name, qint64 sizeBytes, const QString &location,
                const QString &modifiedText, const QDateTime &modified);
    // Sort order, counts and labels once all rows are in (the column widths
    // follow the list's width when the dialog first shows).
    void FinishRows();

    // The volume a download is written to, and how to look at it.
    void SetDownloadFolder(const QString &folder) { m_downloadFolder = folder; }
    void SetStorageProbe(StorageProbe probe) { m_probe = std::move(probe); }

    QString Tag() const { return m_tag; }
    QString Action() const { return m_action; }
    int SelectedCount = 0;
    double SelectedSizeKB = 0;
    qint64 SelectedBytes() const { return m_selectedBytes; }

    // The entry indices of the checked rows in the list's first order (the
    // list is sorted back by "Modified" ascending first, as it was shown).
    QList<qint64> CheckedEntries();

    void CheckList(bool state);
    void RefreshCountSize();
    // True when a download must not start (the user was told why).
    bool IsLowDiskSpace();
    bool IsDownloadList() const;

    // The value of a size as the list shows it (KB, one decimal).
    static double ShownKilobytes(qint64 bytes);
    // The leading number of a text; "." or "," as the decimal mark.
    static double LeadingNumber(const QString &text);

    QTreeWidget *LV = nullptr;
    QGroupBox *Frame1 = nullptr;
    QPushButton *CmdDo = nullptr;
    QPushButton *Cmdtask = nullptr;
    QPushButton *CmdCnc = nullptr;
    std::array<QCheckBox *, 3> Check1{};
    QLineEdit *txtExt = nullptr;
    QComboBox *cboSize = nullptr;
    QLineEdit *txtSize = nullptr;
    QComboBox *cboDate = nullptr;
    QDateTimeEdit *DTP1 = nullptr;
    QPushButton *CmdFilter = nullptr;
    QLabel *lblCount = nullptr;
    QLabel *lblSize = nullptr;
    QMenu *mnuCtxt = nullptr;

    void CmdFilter_Click();
    void CmdDo_Click();
    void Cmdtask_Click();
    void cmdCnc_Click();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Check1_Click();
    void LV_ItemCheck(QTreeWidgetItem *item, int column);
    void LV_ColumnClick(int column);
    void writeSummary();
    void setButtons(bool enabled);
    void answer(const QString &tag);
    bool rowChecked(const QTreeWidgetItem *item) const;
    qint64 rowBytes(const QTreeWidgetItem *item) const;

    QString m_action;
    QString m_tag;
    QString m_downloadFolder;
    StorageProbe m_probe;
    TallestLineDelegate *m_rowHeights = nullptr;
    qint64 m_selectedBytes = 0;
    bool m_filling = false;
    bool m_widthsSet = false;
};
