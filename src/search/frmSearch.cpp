#include "frmSearch.h"

#include "AppInfo.h"
#include "CutCellToolTips.h"
#include "DataRoot.h"
#include "ElapsedText.h"
#include "ElidingLabel.h"
#include "ErrorLog.h"
#include "FileListModel.h"
#include "FtpTask.h"
#include "JobsFromRows.h"
#include "KeyedImageList.h"
#include "ListingDate.h"
#include "MainWindowServices.h"
#include "ModFTPTrelm.h"
#include "ModListView.h"
#include "ModProfile.h"
#include "Modfolder.h"
#include "OptionFlags.h"
#include "Paths.h"
#include "PlainToolTip.h"
#include "Prompts.h"
#include "ProgramIcon.h"
#include "SearchPrefFile.h"
#include "SearchWalk.h"
#include "ServerPort.h"
#include "SoundAlerts.h"
#include "WholeNumber.h"
#include "fFormat.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <cmath>
#include <limits>
#include <utility>

namespace {

const QString kObject = QStringLiteral("frmSearch");
const QString kNotAvailable = QStringLiteral("<Not Available>");
constexpr int kColLocation = 1;

// Whole kilobytes of a size box (rounded half to even); nothing when they do not fit 32 bits.
std::optional<qint64> kilobytesOf(const QString &text)
{
    const std::optional<qint32> value = LeadingWholeNumber<qint32>(text.trimmed());
    return value ? std::optional<qint64>(*value) : std::nullopt;
}

int portOf(const QString &text) { return ToWholeNumber<int>(text).value_or(0); }

bool plainText(const QString &text)
{
    return !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')) && !text.contains(QChar(0));
}

} // namespace

frmSearch::frmSearch(MainWindowServices &mainWindow, JobIntake *intake, QWidget *parent, EngineTimer *timer)
    : QWidget(parent, Qt::Window), m_main(mainWindow), m_intake(intake),
      m_jobs(std::make_unique<JobsFromRows>(DataRoot::JobsFolder()))
{
    setObjectName(kObject);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Ftp Search"));
    setWindowIcon(ProgramIcon());
    (void)DataRoot::EnsureDataFolders();
    m_walk = new SearchWalk(*this, DataRoot::CacheFolder(), timer, this);
    buildControls();
    buildMenus();
    Form_Load();
}

frmSearch::~frmSearch()
{
    // The walk must not call back into a half-destroyed window.
    delete m_walk;
    m_walk = nullptr;
    m_report.Close();
    // A window closed by its destruction still lays its list out once, after
    // this window's own members are gone: the rows' icons must not be asked then.
    m_model->setIconLookup({});
}

void frmSearch::buildControls()
{
    auto *frame2 = new QGroupBox(QStringLiteral("Search for files on Ftp Server"));
    auto *grid = new QGridLayout(frame2);
    int row = 0;
    txtSvr = new QLineEdit;
    txtSvr->setObjectName(QStringLiteral("txtSvr"));
    txtport = new QLineEdit(QStringLiteral("21"));
    txtport->setObjectName(QStringLiteral("txtport"));
    txtport->setMaximumWidth(70);
    Image1 = new QToolButton;
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setIcon(m_main.ImageList1().Picture(QStringLiteral("slide_d")));
    Image1->setToolTip(QStringLiteral("Select Profile..."));
    Image1->setAutoRaise(true);
    grid->addWidget(new QLabel(QStringLiteral("Ftp Server:")), row, 0);
    auto *serverRow = new QHBoxLayout;
    serverRow->addWidget(txtSvr, 1);
    serverRow->addWidget(Image1);
    serverRow->addWidget(new QLabel(QStringLiteral("Port: ")));
    serverRow->addWidget(txtport);
    grid->addLayout(serverRow, row++, 1);

    txtUser = new QLineEdit;
    txtUser->setObjectName(QStringLiteral("txtUser"));
    txtPwd = new QLineEdit;
    txtPwd->setObjectName(QStringLiteral("txtPwd"));
    txtPwd->setEchoMode(QLineEdit::Password);
    ChkPsv = new QCheckBox(QStringLiteral("Passive"));
    ChkPsv->setObjectName(QStringLiteral("ChkPsv"));
    grid->addWidget(new QLabel(QStringLiteral("User / Password: ")), row, 0);
    auto *loginRow = new QHBoxLayout;
    loginRow->addWidget(txtUser, 1);
    loginRow->addWidget(txtPwd, 1);
    loginRow->addWidget(ChkPsv);
    grid->addLayout(loginRow, row++, 1);

    txtPattern = new QLineEdit;
    txtPattern->setObjectName(QStringLiteral("txtPattern"));
    grid->addWidget(new QLabel(QStringLiteral("File pattern, separated by [ ; ]")), row, 0);
    grid->addWidget(txtPattern, row++, 1);

    ChkSize = new QCheckBox(QStringLiteral("File size ( Min - Max) KB"));
    ChkSize->setObjectName(QStringLiteral("ChkSize"));
    auto *sizeRow = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        txt_size1[static_cast<size_t>(i)] = new QLineEdit(i == 0 ? QStringLiteral("0") : QStringLiteral("10.0"));
        txt_size1[static_cast<size_t>(i)]->setObjectName(QStringLiteral("txt_size1_") + QString::number(i));
        sizeRow->addWidget(txt_size1[static_cast<size_t>(i)]);
    }
    grid->addWidget(ChkSize, row, 0);
    grid->addLayout(sizeRow, row++, 1);

    ChkDate = new QCheckBox(QStringLiteral("When it was modified"));
    ChkDate->setObjectName(QStringLiteral("ChkDate"));
    auto *dateRow = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        const auto n = static_cast<size_t>(i);
        Label4[n] = new QLabel(i == 0 ? QStringLiteral("From:") : QStringLiteral("To:"));
        DTPicker1[n] = new QDateEdit(QDate::currentDate());
        DTPicker1[n]->setObjectName(QStringLiteral("DTPicker1_") + QString::number(i));
        DTPicker1[n]->setCalendarPopup(true);
        dateRow->addWidget(Label4[n]);
        dateRow->addWidget(DTPicker1[n], 1);
    }
    grid->addWidget(ChkDate, row, 0);
    grid->addLayout(dateRow, row++, 1);

    ChkRoot = new QCheckBox(QStringLiteral("Start search from root folder [ / ]"));
    ChkRoot->setObjectName(QStringLiteral("ChkRoot"));
    grid->addWidget(ChkRoot, row++, 0, 1, 2);
    txtSPF = new QPlainTextEdit;
    txtSPF->setObjectName(QStringLiteral("txtSPF"));
    txtSPF->setMaximumHeight(70);
    grid->addWidget(new QLabel(QStringLiteral("Special Folders (One item per line)")), row, 0);
    grid->addWidget(txtSPF, row++, 1);
    ChkSave = new QCheckBox(QStringLiteral("Save directory structure (Html)"));
    ChkSave->setObjectName(QStringLiteral("ChkSave"));
    ChkSave->setToolTip(QStringLiteral("Check this if wish to save a html directory list"));
    grid->addWidget(ChkSave, row++, 0, 1, 2);

    CmdSave = new QPushButton(QStringLiteral("Save Search"));
    CmdSave->setObjectName(QStringLiteral("CmdSave"));
    CmdSearch = new QPushButton(QStringLiteral("&Search"));
    CmdSearch->setObjectName(QStringLiteral("CmdSearch"));
    CmdStop = new QPushButton(QStringLiteral("Stop"));
    CmdStop->setObjectName(QStringLiteral("CmdStop"));
    CmdStop->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdSave);
    buttons->addWidget(CmdSearch);
    buttons->addWidget(CmdStop);

    auto *frame1 = new QGroupBox(QStringLiteral("Search Statistics"));
    auto *stats = new QGridLayout(frame1);
    const char *captions[] = {"Total Files .....................", "Total Folders .................",
                              "Matched Files ...............", "Total Size (MB) .............",
                              "Matched Size (MB)........"};
    // Room for ten-digit counts and sizes from the start: a growing figure never widens the window.
    QLocale figures;
    figures.setNumberOptions(QLocale::OmitGroupSeparator);
    const QString widestFigure = figures.toString(9999999999.9, 'f', 1);
    for (int i = 0; i < 5; ++i) {
        stats->addWidget(new QLabel(QString::fromLatin1(captions[i])), i, 0);
        lblCnt[static_cast<size_t>(i)] = new ElidingLabel(QStringLiteral("0"));
        lblCnt[static_cast<size_t>(i)]->setMinimumText(widestFigure);
        stats->addWidget(lblCnt[static_cast<size_t>(i)], i, 1);
    }
    Image2 = new QLabel;
    Image2->setPixmap(m_main.ImageList1().Picture(QStringLiteral("exl")).pixmap(16, 16));
    Image2->setVisible(false);
    Label7 = new QLabel;
    Label7->setObjectName(QStringLiteral("Label7"));
    Label7->setTextFormat(Qt::PlainText); // the server's words, never markup
    Label7->setWordWrap(true);
    // A long path never widens the window: what the line cannot show is in its tool tip.
    Label7->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto *errorRow = new QHBoxLayout;
    errorRow->addWidget(Image2);
    errorRow->addWidget(Label7, 1);

    auto *right = new QVBoxLayout;
    right->addWidget(frame1);
    right->addLayout(errorRow);
    right->addStretch(1);
    auto *top = new QHBoxLayout;
    top->addWidget(frame2, 3);
    top->addLayout(right, 1);

    m_model = new FileListModel({QStringLiteral("File"), QStringLiteral("Location"), QStringLiteral("Size"),
                                 QStringLiteral("Modified")},
                                this);
    m_model->setColumnKinds({2, 3});
    m_model->setIconLookup([this](const QString &key) { return m_main.ImageList2().Picture(key); });
    LV = new QTreeView;
    LV->setObjectName(QStringLiteral("LV"));
    LV->setRootIsDecorated(false);
    LV->setUniformRowHeights(true);
    LV->setModel(m_model);
    LV->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LV->setSelectionBehavior(IsOptionOn(OptionFlag::FullRowSelection) ? QAbstractItemView::SelectRows
                                                                      : QAbstractItemView::SelectItems);
    LV->header()->setSectionsClickable(true);
    SetHeaderImageList(LV, {{QStringLiteral("dot"), QIcon()},
                            {QStringLiteral("arr_up"), m_main.ImageList1().Picture(QStringLiteral("arr_up"))},
                            {QStringLiteral("arr_dn"), m_main.ImageList1().Picture(QStringLiteral("arr_dn"))}});
    connect(LV->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { RunTrapped(kObject, QStringLiteral("LV_ColumnClick"), [&] { HandleLVSort(LV, column); }); });
    LV->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(LV, &QTreeView::customContextMenuRequested, this, [this] { showContextMenu(); });
    LV->installEventFilter(this);
    CutCellToolTips::Install(LV); // a long location reads whole in its tool tip
    // Names keep their room beside the long locations, sizes read whole (the location gives way);
    // the last column takes what is left.
    SetColumnWidthsWhenShown(LV, QStringLiteral("0.28;0.38;0.11;0.23"), 2, 1);

    SB = new QStatusBar;
    for (size_t i = 0; i < m_panels.size(); ++i) {
        // A folder path elides, whole in the tool tip: it never widens the window.
        m_panels[i] = new ElidingLabel;
        SB->addWidget(m_panels[i], i < 2 ? 2 : 1);
    }
    // The start and elapsed times read whole.
    m_panels[2]->setMinimumText(QLocale().toString(QDateTime(QDate(2000, 12, 28), QTime(23, 59)), QLocale::ShortFormat));
    m_panels[3]->setMinimumText(ElapsedText(999 * 60 + 59)); // past 100 minutes too

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->addWidget(LV, 1);
    layout->addWidget(SB);
    resize(820, 640);

    // Busy state follows the buttons; each edit asks whether there is something to save.
    connect(CmdSearch, &QPushButton::clicked, this, &frmSearch::CmdSearch_Click);
    connect(CmdStop, &QPushButton::clicked, this, &frmSearch::CmdStop_Click);
    connect(CmdSave, &QPushButton::clicked, this, &frmSearch::CmdSave_Click);
    connect(ChkSave, &QCheckBox::clicked, this, &frmSearch::ChkSave_Click);
    connect(Image1, &QToolButton::clicked, this, &frmSearch::Image1_Click);
    auto changed = [this] { RunTrapped(kObject, QStringLiteral("CheckSearchPrefChanged"), [&] { CheckSearchPrefChanged(); }); };
    connect(txtSvr, &QLineEdit::textChanged, this, [this, changed](const QString &text) {
        CmdSearch->setEnabled(!text.trimmed().isEmpty() && !CmdStop->isEnabled());
        changed();
    });
    for (QLineEdit *edit : {txtUser, txtport, txtPwd, txtPattern, txt_size1[0], txt_size1[1]})
        connect(edit, &QLineEdit::textChanged, this, changed);
    connect(txtSPF, &QPlainTextEdit::textChanged, this, changed);
    connect(ChkPsv, &QCheckBox::clicked, this, changed);
    connect(ChkRoot, &QCheckBox::clicked, this, changed);
    connect(ChkSize, &QCheckBox::clicked, this, [this, changed] {
        enableLimitBoxes(!CmdStop->isEnabled());
        changed();
    });
    connect(ChkDate, &QCheckBox::clicked, this, [this, changed] {
        enableLimitBoxes(!CmdStop->isEnabled());
        changed();
    });
    for (QDateEdit *picker : DTPicker1)
        connect(picker, &QDateEdit::dateChanged, this, changed);
}

void frmSearch::buildMenus()
{
    mnuProf = new QMenu(this);
    mnuProf->setObjectName(QStringLiteral("mnuProf"));
    mnuPrev = mnuProf->addMenu(QStringLiteral("Previous Searchs"));
    mnuPrev->setObjectName(QStringLiteral("mnuPrev"));
    prefMenuEntry(0);
    mnuProf->addSeparator();

    mnuCntxt = new QMenu(this);
    mnuCntxt->setObjectName(QStringLiteral("mnuCntxt"));
    QAction *download = mnuCntxt->addAction(QStringLiteral("Add As Download Job"));
    download->setObjectName(QStringLiteral("mnuJDnld"));
    connect(download, &QAction::triggered, this, [this] { CreateJobsFromResults(false); });
    QAction *save = mnuCntxt->addAction(QStringLiteral("Save As Download Job..."));
    save->setObjectName(QStringLiteral("mnuJSave"));
    connect(save, &QAction::triggered, this, [this] { CreateJobsFromResults(true); });
}

QAction *frmSearch::prefMenuEntry(int index)
{
    while (mnuPrevItem.size() <= index) {
        const int n = static_cast<int>(mnuPrevItem.size());
        QAction *item = mnuPrev->addAction(kNotAvailable);
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, n] { mnuPrevItem_Click(n); });
        mnuPrevItem.append(item);
    }
    return mnuPrevItem.at(index);
}

void frmSearch::Form_Load()
{
    RunTrapped(kObject, QStringLiteral("Form_Load"), [&] {
        m_selectedPref = -1;
        Label7->clear();
        setTag(txtport, QStringLiteral("21"));
        setTag(txtUser, QStringLiteral("anonymous"));
        setTag(txtPwd, QStringLiteral("guestuser"));
        // Site profiles: a blank name keeps the record numbers of the others.
        const QStringList names = ReadProfileFile(ProfileFilePath);
        for (int i = 0; i < names.size(); ++i) {
            const QString name = names.at(i).trimmed();
            if (name.isEmpty())
                continue;
            QAction *item = mnuProf->addAction(name);
            const int record = i + 1;
            connect(item, &QAction::triggered, this, [this, record] { mnuItem_Click(record); });
            mnuItem.append(item);
        }
        ConnectState(false);
        setPanel(0, QString());
        LoadSearchPrefs();
        CmdSave->setEnabled(false);
    });
}

void frmSearch::LoadSearchPrefs()
{
    m_prefs = JSearchCollection();
    const int skipped = SearchPrefFile::Load(SearchPrefFile::DefaultPath(), m_prefs);
    if (skipped > 0)
        LogErrorToFile(kObject, QStringLiteral("LoadSearchPrefs"), 0,
                       QString::number(skipped) + QStringLiteral(" unreadable or repeated lines were skipped"));
    int n = 0;
    for (const JSearch &item : m_prefs) {
        QAction *entry = prefMenuEntry(n++);
        entry->setText(item.Profile());
        entry->setData(item.uID());
        entry->setVisible(true);
    }
}

void frmSearch::setPanel(int panel, const QString &text)
{
    if (panel >= 0 && panel < static_cast<int>(m_panels.size()))
        m_panels[static_cast<size_t>(panel)]->setText(text);
}

QString frmSearch::PanelText(int panel) const
{
    if (panel < 0 || panel >= static_cast<int>(m_panels.size()))
        return {};
    return m_panels[static_cast<size_t>(panel)]->text();
}

void frmSearch::SetReportPath(const QString &path)
{
    m_reportPath = path;
    ChkSave->setChecked(!path.isEmpty());
}

void frmSearch::ConnectState(bool busy)
{
    RunTrapped(kObject, QStringLiteral("ConnectState"), [&] {
        CmdStop->setEnabled(busy);
        CmdSearch->setEnabled(!busy && !txtSvr->text().trimmed().isEmpty());
        for (QWidget *w : std::initializer_list<QWidget *>{txtSvr, txtUser, txtPwd, txtport, txtSPF, txtPattern, ChkPsv,
                                                          ChkSize, ChkDate, ChkSave, ChkRoot, Image1, CmdSave})
            w->setEnabled(!busy);
        enableLimitBoxes(!busy);
        if (!busy) {
            setPanel(0, QStringLiteral("Search stopped"));
            CheckSearchPrefChanged();
        }
    });
}

void frmSearch::enableLimitBoxes(bool idle)
{
    for (QLineEdit *box : txt_size1)
        box->setEnabled(idle && ChkSize->isChecked());
    for (size_t i = 0; i < 2; ++i) {
        DTPicker1[i]->setEnabled(idle && ChkDate->isChecked());
        Label4[i]->setEnabled(idle && ChkDate->isChecked());
    }
}

QString frmSearch::fieldText(QWidget *field) const
{
    if (auto *edit = qobject_cast<QLineEdit *>(field))
        return edit->text();
    if (auto *plain = qobject_cast<QPlainTextEdit *>(field))
        return plain->toPlainText();
    if (auto *check = qobject_cast<QCheckBox *>(field))
        return check->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    if (auto *picker = qobject_cast<QDateEdit *>(field))
        return ListingDate::FixedDate(picker->date());
    return {};
}

void frmSearch::CheckSearchPrefChanged()
{
    if (CmdStop->isEnabled()) {
        CmdSave->setEnabled(false);
        return;
    }
    if (m_selectedPref < 0) {
        CmdSave->setEnabled(true);
        return;
    }
    bool differs = false;
    for (QWidget *field : std::initializer_list<QWidget *>{txtSvr, txtUser, txtport, txtPwd, txt_size1[0], txt_size1[1],
                                                          txtSPF, txtPattern}) {
        differs = differs || fieldText(field).compare(tag(field), Qt::CaseInsensitive) != 0;
    }
    for (QWidget *field : std::initializer_list<QWidget *>{DTPicker1[0], DTPicker1[1], ChkDate, ChkSize, ChkRoot})
        differs = differs || fieldText(field) != tag(field);
    CmdSave->setEnabled(differs);
}

bool frmSearch::SearchPrefNameExists(const QString &name) const
{
    for (const QAction *item : mnuPrevItem) {
        if (item->text().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool frmSearch::SaveSearchPref(const QString &path, const JSearch &item, bool append)
{
    QString error;
    m_saveFailed = true;
    switch (SearchPrefFile::Save(path, item, append, &error)) {
    case SearchPrefFile::SaveResult::Saved:
        m_saveFailed = false;
        return true;
    case SearchPrefFile::SaveResult::TooLong:
        ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                    QStringLiteral("This search preference is too long to be saved: its fields may hold at most 768 "
                                   "bytes together. Shorten the patterns or special folders and save again."));
        return false;
    case SearchPrefFile::SaveResult::WriteFailed:
        ShowMessage(this, PromptIcon::Critical, PromptButtons::Ok, AppTitle(),
                    QStringLiteral("The search preference could not be saved: ") + error);
        return false;
    }
    return false;
}

std::optional<JSearch> frmSearch::SaveCurrentSearchPref()
{
    const QString prompt = QStringLiteral("Provide a name for this search preference");
    const QString title = QStringLiteral("Preference Name");
    auto refuse = [this] {
        ShowMessage(this, PromptIcon::None, PromptButtons::Ok, AppTitle(), QStringLiteral("Preference will not be saved!"));
        return std::nullopt;
    };
    QString name = AskText(this, title, prompt).value_or(QString());
    if (name.isEmpty())
        return refuse();
    while (SearchPrefNameExists(name)) {
        const PromptButton again = ShowMessage(
            this, PromptIcon::Question, PromptButtons::YesNo, QStringLiteral("Save with new name ?"),
            QStringLiteral("The profile '") + name + QStringLiteral("' already exists!\r\n\r\nDo you wish to provide another name ?"));
        if (again != PromptButton::Yes)
            return std::nullopt;
        name = AskText(this, title, prompt, name).value_or(QString());
        if (name.isEmpty())
            return refuse();
    }
    JSearch item;
    item.SetProfile(name);
    item.SetCheckDate(ChkDate->isChecked() ? 1 : 0);
    item.SetCheckSize(ChkSize->isChecked() ? 1 : 0);
    item.SetSearchRoot(ChkRoot->isChecked() ? 1 : 0);
    item.SetDateMax(ListingDate::FixedDate(DTPicker1[0]->date()));
    item.SetDateMin(ListingDate::FixedDate(DTPicker1[1]->date()));
    item.SetExtraPaths(txtSPF->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
    item.SetFilePattern(txtPattern->text());
    item.SetPassword(txtPwd->text());
    item.SetServer(txtSvr->text());
    item.SetUser(txtUser->text());
    item.SetPort(portOf(txtport->text()));
    item.SetSearchDate(ListingDate::FixedDateTime(QDateTime::currentDateTime()));
    item.SetSizeMax(static_cast<qint32>(kilobytesOf(txt_size1[0]->text()).value_or(0)));
    item.SetSizeMin(static_cast<qint32>(kilobytesOf(txt_size1[1]->text()).value_or(0)));
    if (!SaveSearchPref(SearchPrefFile::DefaultPath(), item, true))
        return std::nullopt;
    return item;
}

void frmSearch::CmdSave_Click()
{
    RunTrapped(kObject, QStringLiteral("CmdSave_Click"), [&] {
        m_saveFailed = false;
        const std::optional<JSearch> saved = SaveCurrentSearchPref();
        if (!saved) {
            // Left enabled when the write was refused: the values are still unsaved.
            CmdSave->setEnabled(m_saveFailed);
            return;
        }
        if (!m_prefs.AddJSearch(*saved)) {
            const JSearch *listed = m_prefs.Item(saved->uID());
            ShowMessage(this, PromptIcon::Information, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("These search settings are listed already as '")
                            + (listed ? listed->Profile() : QString()) + QStringLiteral("'."));
            CmdSave->setEnabled(false);
            return;
        }
        QAction *entry = prefMenuEntry(m_prefs.Count() - 1);
        entry->setText(saved->Profile());
        entry->setData(saved->uID());
        entry->setVisible(true);
        // Nothing asks to save what was just saved.
        CmdSave->setEnabled(false);
        mnuPrevItem_Click(m_prefs.Count() - 1);
    });
}

void frmSearch::mnuPrevItem_Click(int index)
{
    RunTrapped(kObject, QStringLiteral("mnuPrevItem_Click"), [&] {
        if (index < 0 || index >= mnuPrevItem.size())
            return;
        if (CmdSave->isEnabled()) {
            const PromptButton answer = ShowMessage(
                this, PromptIcon::Question, PromptButtons::YesNo, QStringLiteral("Save Preference ?"),
                QStringLiteral("Do you wish to save the current search preference before loading another preference ?"));
            if (answer == PromptButton::Yes) {
                const std::optional<JSearch> saved = SaveCurrentSearchPref();
                if (!saved)
                    return;
                if (m_prefs.AddJSearch(*saved)) {
                    QAction *entry = prefMenuEntry(m_prefs.Count() - 1);
                    entry->setText(saved->Profile());
                    entry->setData(saved->uID());
                    entry->setVisible(true);
                }
            }
        }
        const JSearch *item = m_prefs.Item(mnuPrevItem.at(index)->data().toString());
        if (!item) {
            ShowMessage(this, PromptIcon::None, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("Error in loading the selected profile"));
            return;
        }
        for (QAction *entry : mnuPrevItem)
            entry->setChecked(false);
        mnuPrevItem.at(index)->setChecked(true);
        const JSearch loaded = *item; // the fields' change handlers may not touch the collection
        m_selectedPref = index;
        const QDate today = QDate::currentDate();
        auto setDate = [&](QDateEdit *picker, const QString &text) {
            const QDateTime value = ListingDate::Read(text, today);
            picker->setDate(value.isValid() ? value.date() : today);
            setTag(picker, ListingDate::FixedDate(picker->date()));
        };
        auto setText = [&](QLineEdit *edit, const QString &text) {
            edit->setText(text);
            setTag(edit, text);
        };
        ChkDate->setChecked(loaded.CheckDate() != 0);
        setTag(ChkDate, QString::number(loaded.CheckDate() != 0 ? 1 : 0));
        ChkSize->setChecked(loaded.CheckSize() != 0);
        setTag(ChkSize, QString::number(loaded.CheckSize() != 0 ? 1 : 0));
        setDate(DTPicker1[0], loaded.DateMax());
        setDate(DTPicker1[1], loaded.DateMin());
        txtSPF->setPlainText(loaded.ExtraPaths());
        setTag(txtSPF, txtSPF->toPlainText());
        setText(txtPattern, loaded.FilePattern());
        setText(txtPwd, loaded.Password());
        setText(txtport, QString::number(loaded.Port()));
        setText(txtSvr, loaded.Server());
        ChkRoot->setChecked(loaded.SearchRoot() != 0);
        setTag(ChkRoot, QString::number(loaded.SearchRoot() != 0 ? 1 : 0));
        setText(txt_size1[0], QString::number(loaded.SizeMax()));
        setText(txt_size1[1], QString::number(loaded.SizeMin()));
        setText(txtUser, loaded.User());
        ConnectState(false);
        CmdSave->setEnabled(false);
    });
}

void frmSearch::Image1_Click()
{
    RunTrapped(kObject, QStringLiteral("Image1_Click"), [&] {
        // Without a site profile the menu is not offered.
        if (mnuItem.isEmpty())
            return;
        mnuProf->popup(Image1->mapToGlobal(QPoint(Image1->width(), 0)));
    });
}

void frmSearch::mnuItem_Click(int recordNumber)
{
    RunTrapped(kObject, QStringLiteral("mnuItem_Click"), [&] {
        int record = recordNumber;
        const std::optional<CProfile> profile = loadProfileData(ProfileFilePath, record);
        if (!profile)
            return;
        txtSvr->setText(profile->Server.trimmed());
        txtport->setText(QString::number(profile->Port));
        txtUser->setText(profile->User.trimmed());
        txtPwd->setText(profile->Password.trimmed());
        ChkPsv->setChecked(profile->IsPassive != 0);
        CheckSearchPrefChanged();
    });
}

void frmSearch::ChkSave_Click()
{
    RunTrapped(kObject, QStringLiteral("ChkSave_Click"), [&] {
        if (!ChkSave->isChecked()) {
            m_reportPath.clear();
            return;
        }
        FileRequest request;
        request.kind = FileRequest::Kind::SaveFile;
        request.title = QStringLiteral("Select the destination html file");
        request.filter = QStringLiteral("Html File(*.html)");
        const std::optional<QString> chosen = Prompts::current().chooseFile(this, request);
        if (!chosen || chosen->isEmpty()) {
            ShowMessage(this, PromptIcon::None, PromptButtons::Ok, AppTitle(), QStringLiteral("No file was selected !"));
            ChkSave->setChecked(false);
            m_reportPath.clear();
            return;
        }
        m_reportPath = *chosen;
    });
}

void frmSearch::CmdSearch_Click()
{
    RunTrapped(kObject, QStringLiteral("CmdSearch_Click"), [&] {
        if (m_walk->IsRunning())
            return;
        m_model->clear();
        m_rowNumber = 0;
        Label7->clear();
        Label7->setToolTip(QString());
        Image2->setVisible(false);
        if (!ChkRoot->isChecked() && txtSPF->toPlainText().trimmed().isEmpty()) {
            ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("Either select the Root Folder option or provide special folders!"));
            ChkRoot->setFocus();
            return;
        }
        for (QLineEdit *box : {txtport, txtUser, txtPwd}) {
            if (box->text().trimmed().isEmpty())
                box->setText(tag(box));
        }
        if (txtPattern->text().trimmed().isEmpty())
            txtPattern->setText(QStringLiteral("*.*"));

        SearchCriteria criteria;
        criteria.Server = txtSvr->text().trimmed();
        criteria.User = txtUser->text().trimmed();
        criteria.Password = txtPwd->text().trimmed();
        criteria.Port = portOf(txtport->text());
        if (!IsServerPort(criteria.Port)) {
            ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(), ServerPortRangeText());
            txtport->setFocus();
            return;
        }
        criteria.Passive = ChkPsv->isChecked();
        criteria.SearchRoot = ChkRoot->isChecked();
        for (const QString &line : txtSPF->toPlainText().trimmed().split(QRegularExpression(QStringLiteral("\r\n|\n|\r")))) {
            if (!line.trimmed().isEmpty())
                criteria.SpecialFolders.append(line.trimmed());
        }
        criteria.FilePatterns = txtPattern->text().trimmed().split(QLatin1Char(';'));
        criteria.CheckSize = ChkSize->isChecked();
        const std::optional<qint64> low = kilobytesOf(txt_size1[0]->text());
        const std::optional<qint64> high = kilobytesOf(txt_size1[1]->text());
        if (criteria.CheckSize && (!low || !high)) {
            ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("The size limits must be whole kilobytes from -2147483648 to 2147483647."));
            return;
        }
        criteria.MinSizeBytes = low.value_or(0) * 1024;
        criteria.MaxSizeBytes = high.value_or(0) * 1024;
        criteria.CheckDate = ChkDate->isChecked();
        // Whole days: From from its first second, To until its last.
        criteria.DateFrom = QDateTime(DTPicker1[0]->date(), QTime(0, 0), Qt::UTC);
        criteria.DateTo = QDateTime(DTPicker1[1]->date(), QTime(23, 59, 59), Qt::UTC);
        if (!criteria.SearchRoot && criteria.SpecialFolders.isEmpty()) {
            setPanel(0, QStringLiteral("Unable to locate special folder path!"));
            ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("Unable to locate special folder path!"));
            return;
        }

        m_log.clear();
        setPanel(0, QStringLiteral("Starting search...."));
        setPanel(2, QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat));
        setPanel(3, ElapsedText(0));
        SearchStatisticsChanged({});
        m_report.Close();
        if (ChkSave->isChecked() && !m_reportPath.isEmpty()) {
            QString error;
            if (!m_report.Open(m_reportPath, criteria.Server, &error))
                ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                            QStringLiteral("The report file '") + m_reportPath + QStringLiteral("' could not be opened (")
                                + error + QStringLiteral("). The search runs without it."));
        }
        setWindowTitle(QStringLiteral("Ftp Search - ") + criteria.Server);
        ConnectState(true);
        if (!m_walk->Start(criteria)) {
            m_report.Close();
            ConnectState(false);
        }
    });
}

void frmSearch::CmdStop_Click()
{
    RunTrapped(kObject, QStringLiteral("CmdStop_Click"), [&] {
        if (ShowMessage(this, PromptIcon::Question, PromptButtons::YesNo, QStringLiteral("Stop ?"),
                        QStringLiteral("Stop the search search process ?"))
            == PromptButton::Yes)
            m_walk->RequestStop();
    });
}

QString frmSearch::iconKeyFor(const QString &name) const
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return QStringLiteral("donty");
    QString key = QStringLiteral("e_") + name.mid(dot + 1).toLower();
    if (key == QLatin1String("e_ico") || key == QLatin1String("e_exe"))
        key = name;
    return m_main.ImageList2().Contains(key) ? key : QStringLiteral("donty");
}

void frmSearch::SearchStatus(const QString &text) { setPanel(0, text); }

void frmSearch::SearchLog(const QString &text)
{
    m_log += text;
    m_log += QStringLiteral("\r\n");
    if (m_log.size() > kLogLimit)
        m_log.remove(0, m_log.size() - kLogLimit);
}

void frmSearch::SearchError(const QString &description)
{
    Label7->setText(description);
    Label7->setToolTip(PlainToolTip(description));
    Image2->setVisible(true);
}

void frmSearch::SearchElapsed(qint64 seconds) { setPanel(3, ElapsedText(seconds)); }

void frmSearch::SearchFolderListed(const QString &path, const QList<FtpFileItem> &items)
{
    m_report.WriteFolder(path, items);
}

void frmSearch::SearchHits(std::vector<SearchHit> &hits)
{
    std::vector<FileListRow> rows;
    rows.reserve(hits.size());
    const fFormat format;
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    for (SearchHit &hit : hits) {
        FileListRow row;
        row.Key = QStringLiteral("F") + QString::number(++m_rowNumber);
        row.Text = hit.Name;
        row.IconKey = iconKeyFor(hit.Name);
        const QString modified = hit.Modified.isValid()
                                     ? format.FormatLocaleDateTime(0, hit.Modified, fFormat::GeneralDate)
                                     : hit.DateText;
        row.SubItems = {hit.Location, locale.toString(static_cast<double>(hit.Size) / 1024.0, 'f', 1) + QStringLiteral("KB"),
                        modified};
        row.Tag = QStringLiteral("b") + QString::number(hit.Size);
        row.Size = hit.Size;
        row.SortTime = hit.Modified.isValid() ? hit.Modified.toSecsSinceEpoch() : 0;
        rows.push_back(std::move(row));
    }
    m_model->appendRows(std::move(rows));
}

void frmSearch::SearchStatisticsChanged(const SearchStatistics &stats)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    lblCnt[0]->setText(QString::number(stats.TotalFiles));
    lblCnt[1]->setText(QString::number(stats.TotalFolders));
    lblCnt[2]->setText(QString::number(stats.MatchedFiles));
    lblCnt[3]->setText(locale.toString(static_cast<double>(stats.TotalBytes) / 1024.0 / 1024.0, 'f', 1));
    lblCnt[4]->setText(locale.toString(static_cast<double>(stats.MatchedBytes) / 1024.0 / 1024.0, 'f', 1));
}

void frmSearch::SearchFinished(SearchEnd end, bool sessionWasActive, const SearchStatistics &stats)
{
    RunTrapped(kObject, QStringLiteral("FinishSearch"), [&] {
        ConnectState(false);
        if (end != SearchEnd::Closed && !m_walk->LoggedInOnce()) {
            // Never logged in: the status keeps saying so and the error panel says why.
            setPanel(0, QStringLiteral("Could not connect to ") + txtSvr->text().trimmed()
                            + QStringLiteral(" . Currently ideal.."));
            if (Label7->text().isEmpty())
                SearchError(m_walk->LoginFailure());
        } else if (end != SearchEnd::Closed) {
            showUnlistedFolders(end);
        }
        if (end == SearchEnd::HitLimit)
            ShowMessage(this, PromptIcon::None, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("This search will stop now. Please select a more narrow filter for search, more "
                                       "than 2000 search items are not supported!"));
        if (end != SearchEnd::Closed) {
            PlayAlertSound(AlertSound::SearchComplete);
            const QString server = txtSvr->text().trimmed();
            int kind = 2;
            const QString unlisted = RemoteFolderWalk::UnlistedFoldersText(unlistedFolders().size());
            const QString unlistedNote = unlisted.isEmpty() ? QString() : QStringLiteral(". ") + unlisted + QLatin1Char('.');
            if (sessionWasActive && stats.MatchedFiles > 0) {
                kind = 1;
                m_main.ShowInfo(kind, QStringLiteral("Search is complete !"),
                                QString::number(stats.MatchedFiles) + QStringLiteral(" matching file found on ") + server
                                    + unlistedNote);
            } else if (sessionWasActive) {
                m_main.ShowInfo(kind, QStringLiteral("Search is complete !"),
                                QStringLiteral("No matching file found on ") + server + unlistedNote);
            } else {
                m_main.ShowInfo(kind, QStringLiteral("Search Failed !"), QStringLiteral("Couldn't connect to ") + server);
            }
        }
        m_report.Close();
        // Every report needs the box ticked and a file chosen again.
        ChkSave->setChecked(false);
        m_reportPath.clear();
    });
}

QStringList frmSearch::unlistedFolders() const
{
    QStringList folders = m_walk->StartFoldersUnlisted();
    for (const QString &folder : m_walk->FoldersUnlisted()) {
        if (!folders.contains(folder))
            folders.append(folder);
    }
    return folders;
}

// The count in the status bar, the first few names on the error line, all of them in its tool tip.
void frmSearch::showUnlistedFolders(SearchEnd end)
{
    const QStringList folders = unlistedFolders();
    if (folders.isEmpty())
        return;
    const QString count = RemoteFolderWalk::UnlistedFoldersText(folders.size()) + QLatin1Char('.');
    if (end == SearchEnd::Stopped)
        setPanel(0, QStringLiteral("Search stopped. ") + count);
    else if (end == SearchEnd::QueueDone)
        setPanel(0, QStringLiteral("Search complete. ") + count);
    else
        setPanel(0, count);
    QStringList lines;
    QString tip = RemoteFolderWalk::UnlistedFoldersListed(folders);
    if (!Label7->text().isEmpty()) {
        lines << Label7->text(); // why the session ended stays in sight
        tip.prepend(Label7->text() + QLatin1Char('\n'));
    }
    const QStringList starts = m_walk->StartFoldersUnlisted();
    if (starts.size() == 1)
        lines << QStringLiteral("The start folder ") + starts.first() + QStringLiteral(" could not be listed.");
    else if (starts.size() > 1)
        lines << QStringLiteral("The start folders ") + starts.join(QStringLiteral(", "))
                     + QStringLiteral(" could not be listed.");
    const QStringList others = folders.mid(starts.size());
    if (!others.isEmpty())
        lines << RemoteFolderWalk::UnlistedFoldersNamed(others) + QLatin1Char('.');
    Label7->setText(lines.join(QLatin1Char('\n')));
    Label7->setToolTip(PlainToolTip(tip));
    Image2->setVisible(true);
}

void frmSearch::showContextMenu()
{
    RunTrapped(kObject, QStringLiteral("LV_MouseUp"), [&] {
        if (!HasSelectedListRow(LV->selectionModel()))
            return;
        mnuCntxt->popup(LV->viewport()->mapToGlobal(QPoint(20, 20)));
    });
}

bool frmSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == LV && event->type() == QEvent::KeyRelease
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Menu) {
        showContextMenu();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmSearch::CreateJobsFromResults(bool saveToFile)
{
    RunTrapped(kObject, QStringLiteral("CreateJobsFromResults"), [&] {
        const QString folder = GetFolder(this, QString(), QStringLiteral("Select the destination folder for downloads"));
        if (folder.isEmpty() || !CheckDestinationFolder(folder, this))
            return;
        const QString server = txtSvr->text().trimmed();
        const QString user = txtUser->text().trimmed();
        const QString password = txtPwd->text().trimmed();
        const int port = portOf(txtport->text());
        const bool passive = ChkPsv->isChecked();
        const JobsFromRows::Result result = m_jobs->Deliver(this, m_intake, saveToFile, [&] {
            std::vector<FtpTaskCollection::Job> jobs;
            const QItemSelectionModel *selection = LV->selectionModel();
            for (int i = 0; i < m_model->size(); ++i) {
                if (!IsListRowSelected(selection, i))
                    continue;
                const FileListRow &row = m_model->row(i);
                const QString location = row.SubItems.value(kColLocation - 1);
                // A name from the server becomes a local file name: one plain name only.
                if (!IsSafeRemoteName(row.Text) || !plainText(row.Text) || !plainText(location)) {
                    m_jobs->RefuseRow(QStringLiteral("the file name from the server is not a plain name and could "
                                                     "address a place outside the chosen folder."));
                    continue;
                }
                auto task = std::make_shared<FtpTask>();
                task->setIsResume(false);
                task->setIsUpload(false);
                task->setOriginalLocalFileTime(QString());
                task->setOriginalLocalSize(-1);
                task->setServerAddress(server);
                task->setUser(user);
                task->setPassword(password);
                task->setServerPort(port);
                task->setTransferMode(passive ? 0 : 1);
                task->setSize(row.Tag.mid(1).toLongLong());
                task->setLocalPath(folder);
                task->setLocalFileTitle(row.Text);
                task->setRemoteFileTitle(row.Text);
                task->setRemotePath(location);
                task->setLocked(!IsOptionOn(OptionFlag::AutoStartJobs));
                jobs.push_back(std::move(task));
            }
            return jobs;
        });
        if (!result.panelText.isEmpty())
            setPanel(1, result.panelText);
        else if (result.saveFailed)
            setPanel(1, QStringLiteral("No jobs were saved."));
    });
}

bool frmSearch::AskToClose()
{
    try {
        if (!m_walk->IsRunning() || !m_walk->SessionActive())
            return true;
        const PromptButton answer = ShowMessage(
            this, PromptIcon::Question, PromptButtons::YesNo, QStringLiteral("Stop Search ?"),
            QStringLiteral("Search is still running!\r\n\r\nDo you wish to stop search ?"));
        return answer == PromptButton::Yes;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Form_QueryUnload"));
        return true;
    }
}

void frmSearch::CloseAsAgreed()
{
    m_closeAgreed = true;
    close();
}

void frmSearch::closeEvent(QCloseEvent *event)
{
    try {
        const bool agreed = std::exchange(m_closeAgreed, false);
        if (!agreed && !AskToClose()) {
            event->ignore();
            return;
        }
        if (m_walk->IsRunning())
            m_walk->Close();
        event->accept();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("Form_QueryUnload"));
        event->accept();
    }
}
