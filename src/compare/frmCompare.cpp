#include "frmCompare.h"

#include "AppInfo.h"
#include "CutCellToolTips.h"
#include "DataRoot.h"
#include "JobsFromRows.h"
#include "ElapsedText.h"
#include "ElidingLabel.h"
#include "ErrorLog.h"
#include "FileListModel.h"
#include "KeyedImageList.h"
#include "MainWindowServices.h"
#include "ModListView.h"
#include "OptionFlags.h"
#include "PlainToolTip.h"
#include "ProgramIcon.h"
#include "Prompts.h"
#include "ServerLocation.h"
#include "ServerPort.h"
#include "SoundAlerts.h"
#include "frmFolderOption.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <utility>

namespace {

const QString kObject = QStringLiteral("frmCompare");
const QString kLeadingBlanks = QStringLiteral("       "); // room for the location's icon

} // namespace

frmCompare::frmCompare(MainWindowServices &mainWindow, JobIntake *intake, QWidget *parent)
    : QWidget(parent, Qt::Window), m_main(mainWindow), m_intake(intake),
      m_jobs(std::make_unique<JobsFromRows>(DataRoot::JobsFolder()))
{
    setObjectName(QStringLiteral("frmCompare"));
    setWindowTitle(QStringLiteral("Folders Compare"));
    setWindowIcon(ProgramIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    m_comparison = new FolderComparison(this);
    buildControls();
    buildMenu();
    m_sink = std::make_unique<BufferedRowSink>([this](std::vector<FileListRow> rows) { m_model->appendRows(std::move(rows)); },
                                               [this] { return m_model->size(); });
    CompareRun &run = m_comparison->Run();
    run.Sink = m_sink.get();
    run.HasPicture = [this](const QString &key) { return GetImageListPicture(m_main, key); };

    connect(m_comparison, &FolderComparison::status, this, [this](const QString &text) { setPanel(0, text); });
    connect(m_comparison, &FolderComparison::engineError, this, [this](const QString &text) { showError(text); });
    connect(m_comparison, &FolderComparison::countsChanged, this, &frmCompare::UpdateItemCount);
    connect(m_comparison, &FolderComparison::rowLimitReached, this, [this] { m_rowLimitHit = true; });
    connect(m_comparison, &FolderComparison::finished, this, &frmCompare::StopComparison);

    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &frmCompare::Timer1_Timer);
    ConnectState(false);
    CmdSearch->setEnabled(false);
}

frmCompare::~frmCompare()
{
    // A window closed by its destruction still lays its list out once, after
    // this window's own members are gone: the rows' icons must not be asked then.
    m_model->setIconLookup({});
    Timer1.stop();
    m_comparison->disconnect(this);
    m_comparison->Abort();
}

void frmCompare::buildControls()
{
    auto *frame2 = new QGroupBox(QStringLiteral("Location Information"), this);
    auto *grid = new QGridLayout(frame2);
    for (int i = 0; i < 2; ++i) {
        lblLoc[i] = new QLabel(i == 0 ? QStringLiteral("Location 1") : QStringLiteral("Location 2"), frame2);
        txtLoc[i] = new QLineEdit(frame2);
        txtLoc[i]->setObjectName(QStringLiteral("txtLoc") + QString::number(i));
        txtLoc[i]->setReadOnly(true);
        Picture1[i] = new QLabel(txtLoc[i]);
        Picture1[i]->setGeometry(3, 3, 16, 16);
        CmdLoc[i] = new QPushButton(QStringLiteral("..."), frame2);
        CmdLoc[i]->setObjectName(QStringLiteral("CmdLoc") + QString::number(i));
        CmdLoc[i]->setToolTip(QStringLiteral("Select Location"));
        grid->addWidget(lblLoc[i], i, 0);
        grid->addWidget(txtLoc[i], i, 1);
        grid->addWidget(CmdLoc[i], i, 2);
        connect(CmdLoc[i], &QPushButton::clicked, this, [this, i] { CmdLoc_Click(i); });
    }
    Label2 = new QLabel(QStringLiteral("File pattern"), frame2);
    txtPattern = new QLineEdit(QStringLiteral("*"), frame2);
    txtPattern->setObjectName(QStringLiteral("txtPattern"));
    txtPattern->setToolTip(QStringLiteral("File patterns separated by [ ; ]"));
    grid->addWidget(Label2, 2, 0);
    grid->addWidget(txtPattern, 2, 1);
    chKOnlyConflict = new QCheckBox(QStringLiteral("List only altered or missing files"), frame2);
    chKOnlyConflict->setObjectName(QStringLiteral("chKOnlyConflict"));
    grid->addWidget(chKOnlyConflict, 3, 1);
    CmdSearch = new QPushButton(QStringLiteral("&Compare"), frame2);
    CmdSearch->setObjectName(QStringLiteral("CmdSearch"));
    CmdStop = new QPushButton(QStringLiteral("Stop"), frame2);
    CmdStop->setObjectName(QStringLiteral("CmdStop"));
    grid->addWidget(CmdSearch, 2, 2);
    grid->addWidget(CmdStop, 3, 2);
    connect(CmdSearch, &QPushButton::clicked, this, &frmCompare::CmdSearch_Click);
    connect(CmdStop, &QPushButton::clicked, this, &frmCompare::CmdStop_Click);

    auto *frame1 = new QGroupBox(QStringLiteral("File Comparison Statistics"), this);
    auto *stats = new QGridLayout(frame1);
    const QStringList captions = {QStringLiteral("Total ........................"),
                                  QStringLiteral("Matched .................."),
                                  QStringLiteral("Missing ...................."),
                                  QStringLiteral("Size Changed .........."),
                                  QStringLiteral("FileTime Changed ....")};
    for (int i = 0; i < 5; ++i) {
        stats->addWidget(new QLabel(captions[i], frame1), i, 0);
        lblCnt[static_cast<size_t>(i)] = new ElidingLabel(QStringLiteral("0"), frame1);
        // Room for a ten-digit count from the start: a growing count never widens the window.
        lblCnt[static_cast<size_t>(i)]->setMinimumText(QStringLiteral("9999999999"));
        lblCnt[static_cast<size_t>(i)]->setObjectName(QStringLiteral("lblCnt") + QString::number(i));
        stats->addWidget(lblCnt[static_cast<size_t>(i)], i, 1);
    }
    auto *top = new QHBoxLayout;
    top->addWidget(frame2, 3);
    top->addWidget(frame1, 1);

    txtStat = new QLineEdit(this);
    txtStat->setObjectName(QStringLiteral("txtStat"));
    txtStat->setReadOnly(true);
    PicErr = new QWidget(this);
    PicErr->setObjectName(QStringLiteral("PicErr"));
    Image1 = new QLabel(PicErr);
    lblErr = new QLabel(PicErr);
    lblErr->setObjectName(QStringLiteral("lblErr"));
    lblErr->setTextFormat(Qt::PlainText); // the server's words, never markup
    // Long paths never widen the window; the tool tip holds the whole text.
    lblErr->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto *errRow = new QHBoxLayout(PicErr);
    errRow->setContentsMargins(0, 0, 0, 0);
    errRow->addWidget(Image1);
    errRow->addWidget(lblErr, 1);
    PicErr->hide();

    m_model = new FileListModel({QStringLiteral("File"), QStringLiteral("Location"), QStringLiteral("Size"),
                                 QStringLiteral("Modified"), QStringLiteral("Remarks")},
                                this);
    m_model->setColumnKinds({CompareRules::ColSize, CompareRules::ColModified, true});
    m_model->setIconLookup([this](const QString &key) { return m_main.ImageList2().Picture(key); });
    LV = new QTreeView(this);
    LV->setObjectName(QStringLiteral("LV"));
    LV->setRootIsDecorated(false);
    LV->setUniformRowHeights(true);
    LV->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LV->setSelectionBehavior(IsOptionOn(OptionFlag::FullRowSelection) ? QAbstractItemView::SelectRows
                                                                       : QAbstractItemView::SelectItems);
    LV->setModel(m_model);
    LV->header()->setSectionsClickable(true);
    LV->header()->setSectionResizeMode(QHeaderView::Interactive);
    CutCellToolTips::Install(LV); // a long location reads whole in its tool tip
    // Names keep their room beside the long locations, sizes read whole (the location gives way);
    // the last column takes what is left.
    SetColumnWidthsWhenShown(LV, QStringLiteral("0.26;0.3;0.1;0.17;0.17"), 2, 1);
    const KeyedImageList &pictures = m_main.ImageList1();
    SetHeaderImageList(LV, {{QStringLiteral("dot"), QIcon()},
                            {QStringLiteral("arr_up"), pictures.Picture(QStringLiteral("arr_up"))},
                            {QStringLiteral("arr_dn"), pictures.Picture(QStringLiteral("arr_dn"))}});
    connect(LV->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        RunTrapped(kObject, QStringLiteral("LV_ColumnClick"), [&] { HandleLVSort(LV, column); });
    });
    connect(LV, &QTreeView::clicked, this, &frmCompare::LV_ItemClick);

    SB = new QStatusBar(this);
    SB->setObjectName(QStringLiteral("SB"));
    SB->setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        // A folder path elides, whole in the tool tip: it never widens the window.
        m_panels[static_cast<size_t>(i)] = new ElidingLabel(QString(), SB);
        m_panels[static_cast<size_t>(i)]->setObjectName(QStringLiteral("SB_Panel") + QString::number(i + 1));
        SB->addWidget(m_panels[static_cast<size_t>(i)], i == 2 ? 0 : 1);
    }
    m_panels[2]->setMinimumText(ElapsedText(999 * 60 + 59)); // the elapsed time reads whole, past 100 minutes too

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(PicErr);
    layout->addWidget(txtStat);
    layout->addWidget(LV, 1);
    layout->addWidget(SB);
    resize(900, 600);
}

void frmCompare::showError(const QString &text, const QString &toolTip)
{
    Image1->setPixmap(m_main.ImageList1().Picture(QStringLiteral("exl")).pixmap(16, 16));
    lblErr->setText(text);
    lblErr->setToolTip(PlainToolTip(toolTip.isEmpty() ? text : toolTip));
    PicErr->show();
}

QString frmCompare::PanelText(int panel) const
{
    return panel >= 0 && panel < 3 ? m_panels[static_cast<size_t>(panel)]->text() : QString();
}

void frmCompare::setPanel(int panel, const QString &text) { m_panels[static_cast<size_t>(panel)]->setText(text); }

QString frmCompare::locationText(int side) const
{
    if (!LocationIsFtp[static_cast<size_t>(side)])
        return kLeadingBlanks + SidePaths[static_cast<size_t>(side)];
    const CProfile &p = SideProfiles[static_cast<size_t>(side)];
    QString server = p.Server;
    server.remove(QStringLiteral("ftp://"), Qt::CaseInsensitive);
    return kLeadingBlanks + QStringLiteral("ftp://") + server + p.RemotePath;
}

void frmCompare::SetLocalLocation(int side, const QString &path)
{
    const auto i = static_cast<size_t>(side & 1);
    LocationIsFtp[i] = false;
    SidePaths[i] = path;
    txtLoc[i]->setText(locationText(side & 1));
    Picture1[i]->setPixmap(m_main.ImageList1().Picture(QStringLiteral("open")).pixmap(16, 16));
    CmdSearch->setEnabled(!txtLoc[0]->text().isEmpty() && !txtLoc[1]->text().isEmpty());
}

void frmCompare::SetFtpLocation(int side, const CProfile &location)
{
    const auto i = static_cast<size_t>(side & 1);
    LocationIsFtp[i] = true;
    SideProfiles[i] = location;
    txtLoc[i]->setText(locationText(side & 1));
    Picture1[i]->setPixmap(m_main.ImageList1().Picture(QStringLiteral("ftp")).pixmap(16, 16));
    CmdSearch->setEnabled(!txtLoc[0]->text().isEmpty() && !txtLoc[1]->text().isEmpty());
}

void frmCompare::CmdLoc_Click(int side)
{
    RunTrapped(kObject, QStringLiteral("CmdLoc_Click"), [&] {
        const auto i = static_cast<size_t>(side & 1);
        frmFolderOption dialog(this);
        dialog.SetFtpChosen(LocationIsFtp[i]);
        if (LocationIsFtp[i]) {
            const CProfile &p = SideProfiles[i];
            dialog.txtport->setText(QString::number(p.Port));
            dialog.txtPwd->setText(p.Password);
            dialog.txtUser->setText(p.User);
            dialog.txtSvr->setText(p.Server);
            dialog.ChkPsv->setChecked(p.IsPassive != 0);
            dialog.txtRmtPath->setEditText(p.RemotePath);
        } else {
            dialog.txtLocal->setText(SidePaths[i]);
        }
        dialog.exec();
        if (dialog.Tag() == QLatin1String("*")) {
            if (dialog.FtpChosen()) {
                CProfile p;
                p.Port = static_cast<qint32>(LeadingNumber(dialog.txtport->text()));
                p.User = dialog.txtUser->text();
                p.Password = dialog.txtPwd->text();
                p.Server = dialog.txtSvr->text();
                p.IsPassive = dialog.ChkPsv->isChecked() ? 1 : 0;
                p.RemotePath = dialog.txtRmtPath->currentText();
                SetFtpLocation(side, p);
            } else {
                SetLocalLocation(side, dialog.txtLocal->text());
            }
        }
        CmdSearch->setEnabled(!txtLoc[0]->text().isEmpty() && !txtLoc[1]->text().isEmpty());
    });
}

CompareLocation frmCompare::locationOf(int side) const
{
    const auto i = static_cast<size_t>(side & 1);
    CompareLocation location;
    location.IsFtp = LocationIsFtp[i];
    location.LocalPath = SidePaths[i].trimmed();
    const CProfile &p = SideProfiles[i];
    location.Ftp.ServerUrl = p.Server.trimmed();
    location.Ftp.Port = p.Port;
    location.Ftp.UserName = p.User;
    location.Ftp.Password = p.Password;
    location.Ftp.Passive = p.IsPassive != 0;
    location.Ftp.RemotePath = p.RemotePath.trimmed();
    return location;
}

// Local paths compare exactly; FTP locations by the one rule for places on servers.
bool frmCompare::sameLocation() const
{
    const CompareLocation a = locationOf(0);
    const CompareLocation b = locationOf(1);
    if (a.IsFtp != b.IsFtp)
        return false;
    if (!a.IsFtp)
        return a.LocalPath == b.LocalPath;
    auto place = [](const FtpLocation &ftp) {
        return ServerLocation{ftp.ServerUrl, static_cast<int>(ftp.Port), ftp.UserName, ftp.RemotePath};
    };
    return IsSameServerLocation(place(a.Ftp), place(b.Ftp));
}

void frmCompare::CmdSearch_Click()
{
    RunTrapped(kObject, QStringLiteral("CmdSearch_Click"), [&] {
        if (m_comparison->Running())
            return;
        PicErr->hide();
        if (sameLocation()) {
            ShowMessage(this, PromptIcon::None, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("Why you would compare same location ? Search will not proceed !"));
            CmdSearch->setEnabled(false);
            return;
        }
        for (int side = 0; side < 2; ++side) {
            // A job made from the rows would carry the typed port: no comparison on another one.
            const CompareLocation location = locationOf(side);
            if (location.IsFtp && !IsServerPort(location.Ftp.Port)) {
                ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(), ServerPortRangeText());
                CmdLoc[static_cast<size_t>(side)]->setFocus();
                return;
            }
        }
        m_model->clear();
        if (txtPattern->text().trimmed().isEmpty())
            txtPattern->setText(QStringLiteral("*"));
        CompareRun &run = m_comparison->Run();
        run.SetNamePatterns(CompareRules::SplitPatterns(txtPattern->text()));
        run.OnlyConflict = chKOnlyConflict->isChecked();
        run.Counts = {};
        txtStat->clear();
        ElapsedSeconds = 0;
        m_rowLimitHit = false;
        UpdateItemCount();
        setPanel(0, QStringLiteral("Starting comparison...."));
        setPanel(2, ElapsedText(0));
        ConnectState(true);
        Timer1.start();
        m_rowSides = {locationOf(0), locationOf(1)};
        m_comparison->Start(m_rowSides[0], m_rowSides[1]);
    });
}

void frmCompare::CmdStop_Click()
{
    RunTrapped(kObject, QStringLiteral("CmdStop_Click"), [&] {
        if (ShowMessage(this, PromptIcon::Question, PromptButtons::YesNo, QStringLiteral("Stop ?"),
                        QStringLiteral("Stop the search search process ?"))
            == PromptButton::Yes)
            m_comparison->RequestStop();
    });
}

// A folder one side could not list may have a row that read "OK" while it
// was listed: once the walks are over, it says what it is.
void frmCompare::markUnlistedFolderRows()
{
    const QSet<QString> unlisted = m_comparison->UnlistedFirstSidePaths();
    for (int i = 0; i < m_model->size(); ++i) {
        if (!m_model->row(i).IsFolder || !unlisted.contains(m_comparison->FirstSidePath(m_model->row(i))))
            continue;
        FileListRow row = m_model->row(i);
        if (CompareRules::MarkFolderUnlisted(row))
            m_model->replaceRow(i, std::move(row));
    }
}

void frmCompare::StopComparison(const QString &failedServer, const QString &failure)
{
    RunTrapped(kObject, QStringLiteral("StopComparison"), [&] {
        ConnectState(false);
        Timer1.stop();
        if (!failedServer.isEmpty()) {
            setPanel(0, QStringLiteral("Could not connect to ") + failedServer + QStringLiteral(" . Currently ideal.."));
            if (!failure.isEmpty() && !PicErr->isVisible())
                showError(failure);
        } else {
            const QList<FolderComparison::UnlistedFolder> unlisted = m_comparison->UnlistedFolders();
            const QString count = RemoteFolderWalk::UnlistedFoldersText(unlisted.size());
            setPanel(0, count.isEmpty() ? QStringLiteral("Comparison stopped")
                                        : QStringLiteral("Comparison stopped. ") + count + QLatin1Char('.'));
            // The count alone leaves the user to search error.log: the error line names them.
            if (!unlisted.isEmpty()) {
                showError(m_comparison->UnlistedFoldersLine() + QLatin1Char('.'), m_comparison->UnlistedFoldersList());
                markUnlistedFolderRows();
            }
        }
        PlayAlertSound(AlertSound::ComparisonDone);
        if (m_rowLimitHit) {
            m_rowLimitHit = false;
            // Told once the comparison has unwound, not from inside the engine's event.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    ShowMessage(this, PromptIcon::None, PromptButtons::Ok, AppTitle(),
                                QStringLiteral("This comparison will stop now. Please select a more narrow filter for "
                                               "comparison, more than 2000 items are not supported!"));
                },
                Qt::QueuedConnection);
        }
    });
}

void frmCompare::ConnectState(bool running)
{
    CmdStop->setEnabled(running);
    for (QWidget *w : std::initializer_list<QWidget *>{CmdSearch, CmdLoc[0], CmdLoc[1], lblLoc[0], lblLoc[1],
                                                       txtPattern, Label2})
        w->setEnabled(!running);
    if (!running)
        CmdSearch->setEnabled(!txtLoc[0]->text().isEmpty() && !txtLoc[1]->text().isEmpty());
}

void frmCompare::UpdateItemCount()
{
    const CompareRules::Counters &c = m_comparison->Run().Counts;
    const qint64 values[5] = {c.TotalFiles, c.CountOk, c.CountMissing, c.CountSizeChanged, c.CountTimeChanged};
    for (int i = 0; i < 5; ++i)
        lblCnt[static_cast<size_t>(i)]->setText(QString::number(values[i]));
}

void frmCompare::Timer1_Timer()
{
    RunTrapped(kObject, QStringLiteral("Timer1_Timer"), [&] {
        ++ElapsedSeconds;
        setPanel(2, ElapsedText(ElapsedSeconds));
        m_comparison->WatchdogTick(ElapsedSeconds);
    });
}

void frmCompare::LV_ItemClick(const QModelIndex &index)
{
    RunTrapped(kObject, QStringLiteral("LV_ItemClick"), [&] {
        if (!index.isValid())
            return;
        const FileListRow &row = m_model->row(index.row());
        txtStat->setText(row.SubItems.value(CompareRules::ColRemarks - 1) + QStringLiteral(": ") + row.ToolTip);
        QPalette palette = txtStat->palette();
        palette.setColor(QPalette::Text, row.ForeColor.isValid() ? row.ForeColor : QColor(Qt::black));
        txtStat->setPalette(palette);
    });
}

bool frmCompare::AskToClose()
{
    try {
        if (!m_comparison->Running())
            return true;
        const PromptButton answer =
            ShowMessage(this, PromptIcon::Question, PromptButtons::YesNo, QStringLiteral("Stop Search ?"),
                        QStringLiteral("Search is still running!\n\nDo you wish to stop search ?"));
        return answer == PromptButton::Yes;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Form_QueryUnload"));
        return true;
    }
}

void frmCompare::CloseAsAgreed()
{
    m_closeAgreed = true;
    close();
}

void frmCompare::closeEvent(QCloseEvent *event)
{
    try {
        const bool agreed = std::exchange(m_closeAgreed, false);
        if (!agreed && !AskToClose()) {
            event->ignore();
            return;
        }
        if (m_comparison->Running())
            m_comparison->Abort();
        Timer1.stop();
        event->accept();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Form_QueryUnload"));
        event->accept();
    }
}
