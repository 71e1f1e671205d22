// The window's share of transfers: the buttons between the panes, the
// panes' transfer commands and drops, all ending in the batch component.
#include "frmZAVUde.h"

#include "BatchTransfers.h"
#include "RemoteEditFlow.h"
#include "ErrorLog.h"
#include "FileListView.h"
#include "LocalPane.h"
#include "RemotePane.h"
#include "ServerSlot.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kObject = QStringLiteral("frmZAVUde");

// An arrow picture; the "_D" pictures are the same arrow in grey.
QIcon arrowIcon(bool pointsLeft, bool enabled, const QColor &colour)
{
    QPixmap picture(20, 20);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor fill = enabled ? colour : QColor(170, 170, 170);
    painter.setBrush(fill);
    painter.setPen(fill.darker(130));
    QPolygonF arrow;
    if (pointsLeft)
        arrow << QPointF(2, 10) << QPointF(10, 2) << QPointF(10, 6) << QPointF(18, 6) << QPointF(18, 14)
              << QPointF(10, 14) << QPointF(10, 18);
    else
        arrow << QPointF(18, 10) << QPointF(10, 2) << QPointF(10, 6) << QPointF(2, 6) << QPointF(2, 14)
              << QPointF(10, 14) << QPointF(10, 18);
    painter.drawPolygon(arrow);
    return QIcon(picture);
}

// A copy between the two servers: two server boxes, the first server's on the
// left as its pane is, and an arrow from the source box to the target box.
QIcon serverCopyIcon(bool leftToRight)
{
    QPixmap picture(20, 20);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colour(150, 90, 30);
    const QRectF left(1, 3, 5, 14);
    const QRectF right(14, 3, 5, 14);
    painter.setPen(colour.darker(130));
    painter.setBrush(leftToRight ? colour : QColor(Qt::transparent));
    painter.drawRect(left);
    painter.setBrush(leftToRight ? QColor(Qt::transparent) : colour);
    painter.drawRect(right);
    painter.setBrush(colour);
    QPolygonF arrow;
    if (leftToRight)
        arrow << QPointF(7, 8.5) << QPointF(10, 8.5) << QPointF(10, 6) << QPointF(13, 10) << QPointF(10, 14)
              << QPointF(10, 11.5) << QPointF(7, 11.5);
    else
        arrow << QPointF(13, 8.5) << QPointF(10, 8.5) << QPointF(10, 6) << QPointF(7, 10) << QPointF(10, 14)
              << QPointF(10, 11.5) << QPointF(13, 11.5);
    painter.drawPolygon(arrow);
    return QIcon(picture);
}

} // namespace

QWidget *frmZAVUde::buildTransferButtons()
{
    m_images.Add(QStringLiteral("IN"), arrowIcon(true, true, QColor(40, 130, 60)));
    m_images.Add(QStringLiteral("IN_D"), arrowIcon(true, false, QColor()));
    m_images.Add(QStringLiteral("OUT"), arrowIcon(false, true, QColor(40, 90, 170)));
    m_images.Add(QStringLiteral("OUT_D"), arrowIcon(false, false, QColor()));
    m_images.Add(QStringLiteral("S2S0"), serverCopyIcon(true));
    m_images.Add(QStringLiteral("S2S1"), serverCopyIcon(false));

    auto *column = new QWidget(this);
    column->setObjectName(QStringLiteral("TransferButtons"));
    // Only as wide as its buttons: dragging a handle beside it sizes the panes.
    column->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(1, 0, 1, 0);
    layout->addStretch(1);
    auto button = [&](const QString &name, const QString &tip) {
        auto *b = new QToolButton(column);
        b->setObjectName(name);
        b->setToolTip(tip);
        b->setAutoRaise(true);
        b->setIconSize(QSize(20, 20));
        layout->addWidget(b);
        return b;
    };
    for (int i = 0; i < 2; ++i) {
        CmdOut[i] = button(QStringLiteral("CmdOut") + QString::number(i), tr("Quick Upload"));
        CmdIN[i] = button(QStringLiteral("CmdIN") + QString::number(i), tr("Quick Download"));
        connect(CmdOut[i], &QToolButton::clicked, this, [this, i] { CmdOut_Click(i); });
        connect(CmdIN[i], &QToolButton::clicked, this, [this, i] { CmdIN_Click(i); });
        SetOutButtonState(i, false);
        SetInButtonState(i, false);
        if (i == 0)
            layout->addSpacing(12);
    }
    layout->addSpacing(12);
    for (int i = 0; i < 2; ++i) {
        CmdToFTP[i] = button(QStringLiteral("CmdToFTP") + QString::number(i), tr("Transfer between Server to Server"));
        CmdToFTP[i]->setIcon(m_images.Picture(QStringLiteral("S2S") + QString::number(i)));
        CmdToFTP[i]->setEnabled(false);
    }
    layout->addStretch(1);
    // The second server's buttons go with its pane.
    for (QWidget *second : std::initializer_list<QWidget *>{CmdOut[1], CmdIN[1], CmdToFTP[0], CmdToFTP[1]})
        second->setVisible(false);
    return column;
}

void frmZAVUde::setTransferButton(QToolButton *button, const QString &picture, bool enabled)
{
    if (!button)
        return;
    button->setIcon(m_images.Picture(enabled ? picture : picture + QStringLiteral("_D")));
    button->setProperty("Tag", enabled ? QStringLiteral("E") : QStringLiteral("D"));
    button->setEnabled(enabled);
}

void frmZAVUde::SetInButtonState(int slot, bool enabled)
{
    setTransferButton(CmdIN[slot & 1], QStringLiteral("IN"), enabled);
}

void frmZAVUde::SetOutButtonState(int slot, bool enabled)
{
    setTransferButton(CmdOut[slot & 1], QStringLiteral("OUT"), enabled);
}

void frmZAVUde::CmdIN_Click(int slot)
{
    try {
        if (CmdIN[slot & 1]->property("Tag").toString() != QLatin1String("E") || !ServerConnected(slot))
            return;
        m_batch->HandleFileDownloads(slot, true, false, false);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CmdIN_Click"));
    }
}

void frmZAVUde::CmdOut_Click(int slot)
{
    try {
        if (CmdOut[slot & 1]->property("Tag").toString() != QLatin1String("E") || !ServerConnected(slot))
            return;
        m_batch->HandleFileUploads(slot, true, false);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("CmdOut_Click"));
    }
}

void frmZAVUde::updateTransferButtons()
{
    m_local->UpdateOutButtons();
    m_local->UpdateInButtons();
    for (QWidget *second : std::initializer_list<QWidget *>{CmdOut[1], CmdIN[1], CmdToFTP[0], CmdToFTP[1]})
        second->setVisible(m_dual);
    for (QToolButton *copy : CmdToFTP)
        copy->setEnabled(ServerConnected(0) && ServerConnected(1));
}

void frmZAVUde::wireTransfers()
{
    for (int i = 0; i < 2; ++i) {
        RemotePane *pane = m_remote[static_cast<size_t>(i)];
        ServerSlot *slot = m_slots->Slot(i);
        slot->setJobsAvailable(m_batch->JobsAvailable());
        connect(pane->MNU_RMT_DNLD, &QAction::triggered, this, [this, i] { MNU_RMT_DNLD_Click(i); });
        connect(pane->MNU_RMT_JADD, &QAction::triggered, this, [this, i] {
            if (m_batch->JobsAvailable() && ServerConnected(i))
                m_batch->HandleFileDownloads(i, false, true, false);
        });
        connect(pane->MNU_RMT_JADDEX, &QAction::triggered, this, [this, i] {
            if (m_batch->JobsAvailable() && ServerConnected(i))
                m_batch->HandleFileDownloads(i, false, true, true);
        });
        connect(pane->MNU_RMT_DEL, &QAction::triggered, this, [this, i] {
            if (ServerConnected(i))
                m_batch->HandleFileDeletes(i);
        });
        connect(pane->MNU_RMT_PASTE, &QAction::triggered, this, [this] { m_batch->HandlePaste(true); });
        connect(pane->MNU_RMT_PASTEJOB, &QAction::triggered, this, [this] {
            if (m_batch->JobsAvailable())
                m_batch->HandlePaste(false);
        });
        // Local rows dropped on a remote list go to that server at once.
        connect(pane->RightView, &FileListView::rowsDropped, this, [this, i](const QString &source) {
            if (source == QLatin1String("local"))
                m_local->UploadSelection(i, true, false);
        });
    }
    // Remote rows dropped on the local list come down at once.
    connect(m_local->LeftView, &FileListView::rowsDropped, this, [this](const QString &source) {
        if (source == QLatin1String("remote0"))
            MNU_RMT_DNLD_Click(0);
        else if (source == QLatin1String("remote1"))
            MNU_RMT_DNLD_Click(1);
    });
}

void frmZAVUde::SetJobIntake(JobIntake *intake)
{
    m_jobIntake = intake;
    m_batch->setJobIntake(intake);
    if (m_editFlow)
        m_editFlow->setJobIntake(intake);
    for (int i = 0; i < 2; ++i)
        m_slots->Slot(i)->setJobsAvailable(intake != nullptr);
}

void frmZAVUde::MNU_RMT_DNLD_Click(int slot)
{
    try {
        if (ServerConnected(slot))
            m_batch->HandleFileDownloads(slot, true, false, false);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("MNU_RMT_DNLD_Click"));
    }
}

void frmZAVUde::mnuList_Click(const QString &path)
{
    try {
        if (QDir(path).exists() && m_local->LoadLocalFolders(path))
            return; // the listed folder marks its own entry
        AddToFolderHistory(path, true);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("mnuList_Click"));
    }
}
