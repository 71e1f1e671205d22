#include "RemotePane.h"

#include "FileListModel.h"
#include "FtpStatusStrip.h"
#include "KeyedImageList.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

RemotePane::RemotePane(int slot, KeyedImageList &images, QWidget *parent)
    : QWidget(parent), m_slot(slot), m_images(images)
{
    setObjectName(QStringLiteral("RemotePane") + QString::number(slot));

    CboFTP = new PathComboBox(this);
    CboFTP->setObjectName(QStringLiteral("CboFTP"));
    CboFTP->setMinimumContentsLength(8); // the pane's buttons come first in a narrow pane
    CboFTP->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    TB_RMT = new QToolBar(this);
    TB_RMT->setObjectName(QStringLiteral("TB_RMT"));
    TB_RMT->setIconSize(QSize(16, 16));
    addButton(QStringLiteral("up"), style()->standardIcon(QStyle::SP_FileDialogToParent), tr("Up one folder"));
    addButton(QStringLiteral("refresh"), style()->standardIcon(QStyle::SP_BrowserReload), tr("Refresh"));
    addButton(QStringLiteral("newdir"), style()->standardIcon(QStyle::SP_FileDialogNewFolder), tr("New Folder"));
    addButton(QStringLiteral("rename"), style()->standardIcon(QStyle::SP_FileDialogDetailedView), tr("Rename"));
    addButton(QStringLiteral("props"), style()->standardIcon(QStyle::SP_FileDialogInfoView), tr("Properties"));
    QAction *history = addButton(QStringLiteral("history"), style()->standardIcon(QStyle::SP_FileDialogBack),
                                 tr("Folder history"));
    mnuHistory = new QMenu(this);
    mnuHistory->setObjectName(QStringLiteral("mnuHistory"));
    history->setMenu(mnuHistory);
    if (auto *button = qobject_cast<QToolButton *>(TB_RMT->widgetForAction(history)))
        button->setPopupMode(QToolButton::InstantPopup);
    addButton(QStringLiteral("connect"), style()->standardIcon(QStyle::SP_DialogApplyButton), tr("Connect"));
    addButton(QStringLiteral("disconnect"), style()->standardIcon(QStyle::SP_DialogCloseButton), tr("Disconnect"));
    // Every button stays on the bar: none hides behind the overflow arrow in a narrow pane.
    TB_RMT->setMinimumWidth(TB_RMT->sizeHint().width());

    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(tr("Filter, e.g. *.txt;*.log"));
    txtFilter->setClearButtonEnabled(true);

    Model = new FileListModel({tr("File"), tr("Size"), tr("Attributes"), tr("Modified")}, this);
    Model->setIconLookup([this](const QString &key) { return m_images.Picture(key); });

    RightView = new FileListView(this);
    RightView->setObjectName(QStringLiteral("RightView"));
    RightView->setRootIsDecorated(false);
    RightView->setUniformRowHeights(true);
    RightView->setAllColumnsShowFocus(true);
    RightView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    RightView->setSelectionBehavior(QAbstractItemView::SelectRows);
    RightView->setContextMenuPolicy(Qt::CustomContextMenu);
    RightView->setModel(Model);
    // Rows go to the local list; local rows may be dropped here.
    RightView->setDragSourceName(QStringLiteral("remote") + QString::number(slot));
    RightView->setAcceptedSources({QStringLiteral("local")});
    RightView->header()->setSectionsClickable(true);
    RightView->installEventFilter(this);
    RightView->viewport()->installEventFilter(this);

    mnuRemote = new QMenu(this);
    mnuRemote->setObjectName(QStringLiteral("mnuRemote"));
    MNU_RMT_REFRESH = mnuRemote->addAction(tr("Refresh"));
    MNU_RMT_NEWDIR = mnuRemote->addAction(tr("New Folder..."));
    MNU_RMT_RENAME = mnuRemote->addAction(tr("Rename..."));
    MNU_RMT_PROPS = mnuRemote->addAction(tr("Properties..."));
    mnuRemote->addSeparator();
    MNU_RMT_DNLD = mnuRemote->addAction(tr("Quick &Download..."));
    MNU_RMT_JADD = mnuRemote->addAction(tr("Add As Download Job..."));
    MNU_RMT_JADDEX = mnuRemote->addAction(tr("Add As Download Job [+]..."));
    mnuRemote->addSeparator();
    MNU_RMT_DEL = mnuRemote->addAction(tr("&Delete"));
    mnuRemote->addSeparator();
    MNU_RMT_PASTE = mnuRemote->addAction(tr("Paste..."));
    MNU_RMT_PASTEJOB = mnuRemote->addAction(tr("Paste As  Upload Job..."));
    mnuRemote->addSeparator();
    for (QAction *item : {MNU_RMT_DNLD, MNU_RMT_JADD, MNU_RMT_JADDEX, MNU_RMT_DEL, MNU_RMT_PASTE, MNU_RMT_PASTEJOB})
        item->setEnabled(false);
    MNU_RMT_OPEN = mnuRemote->addAction(QStringLiteral("Open..."));
    MNU_RMT_QEDIT = mnuRemote->addAction(QStringLiteral("Quick Edit..."));
    MNU_RMT_VIEW = mnuRemote->addMenu(QStringLiteral("View With"));
    MNU_RMT_EDIT = mnuRemote->addMenu(QStringLiteral("Edit With"));
    MNU_RMT_VIEW->addAction(QStringLiteral("<Not Available>"))->setEnabled(false);
    MNU_RMT_EDIT->addAction(QStringLiteral("<Not Available>"))->setEnabled(false);
    connect(MNU_RMT_OPEN, &QAction::triggered, this, [this] { emit editViewRequested(m_slot, 0, 0); });
    connect(MNU_RMT_QEDIT, &QAction::triggered, this, [this] { emit editViewRequested(m_slot, 1, 0); });
    connect(MNU_RMT_VIEW, &QMenu::triggered, this,
            [this](QAction *item) { emit editViewRequested(m_slot, 2, item->data().toInt()); });
    connect(MNU_RMT_EDIT, &QMenu::triggered, this,
            [this](QAction *item) { emit editViewRequested(m_slot, 3, item->data().toInt()); });
    mnuRemote->addSeparator();
    mnuCustomCmd = mnuRemote->addMenu(tr("Custom Commands"));
    mnuCustomCmd->setObjectName(QStringLiteral("mnuCustomCmd"));
    connect(RightView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { mnuRemote->popup(RightView->viewport()->mapToGlobal(at)); });

    lblState = new ElidingLabel(tr("Not connected"), this);
    lblState->setObjectName(QStringLiteral("lblState"));
    // State texts name folders of any length; a short one stays readable. A new
    // text never lays the window out again (the label's size ignores its text).
    lblState->setMinimumText(tr("Connected"));
    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setRange(0, 0); // a listing's size is not known in advance
    Progress->setMaximumHeight(12);
    Progress->setFixedWidth(kProgressWidth);
    Progress->setTextVisible(false);
    Progress->hide();
    Status = new FtpStatusStrip(this);
    Status->setObjectName(QStringLiteral("FtpStatus"));
    Status->setFixedSize(120, 14);
    lblRemote = new ElidingLabel(QString(), this);
    lblRemote->setObjectName(QStringLiteral("lblRemote"));

    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(CboFTP, 1);
    top->addWidget(TB_RMT);
    // The summary has a line of its own; the state shares the next one only
    // with the busy bar and the connection's status strip.
    auto *state = new QHBoxLayout;
    state->setContentsMargins(0, 0, 0, 0);
    state->addWidget(lblState, 1);
    state->addWidget(Progress);
    state->addWidget(Status);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(top);
    layout->addWidget(txtFilter);
    layout->addWidget(RightView, 1);
    layout->addWidget(lblRemote);
    layout->addLayout(state);
}

QAction *RemotePane::addButton(const QString &key, const QIcon &icon, const QString &tip)
{
    QAction *action = TB_RMT->addAction(icon, tip);
    action->setObjectName(key);
    action->setData(key);
    return action;
}

QAction *RemotePane::Button(const QString &key) const
{
    for (QAction *action : TB_RMT->actions()) {
        if (action->data().toString() == key)
            return action;
    }
    return nullptr;
}

void RemotePane::ShowState(const QString &text, int wholeTail)
{
    lblState->setFullText(text, wholeTail); // the label gives way to the summary in a narrow pane
}

void RemotePane::ShowListingProgress(qint64 bytes)
{
    if (bytes < 0) {
        Progress->hide();
        return;
    }
    Progress->show();
    lblState->setFullText(tr("Listing... %1 bytes").arg(bytes));
}

void RemotePane::ShowSummary(const QString &text) { lblRemote->setText(text); }

bool RemotePane::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == RightView || watched == RightView->viewport()) && (event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonPress))
        emit activated(m_slot);
    return QWidget::eventFilter(watched, event);
}
