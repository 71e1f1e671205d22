#pragma once

#include "JSearch.h"
#include "JSearchCollection.h"
#include "SearchReport.h"
#include "SearchSink.h"

#include <QHash>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class ElidingLabel;
class EngineTimer;
class FileListModel;
class JobIntake;
class JobsFromRows;
class MainWindowServices;
class QAction;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QToolButton;
class QTreeView;
class SearchWalk;

// "Ftp Search": finds files on an FTP server by name patterns, size and
// date, lists the hits, writes an optional HTML listing of every folder
// visited, keeps named search preferences, and turns selected hits into
// download jobs. Modeless; one per main window.
class frmSearch : public QWidget, private SearchSink
{
    Q_OBJECT
public:
    static constexpr qsizetype kLogLimit = 1024 * 1024; // characters of session log kept

    // `intake` is the main window's job queue (none: jobs can only be saved);
    // `timer` the engine's clock (tests pass a manual one).
    frmSearch(MainWindowServices &mainWindow, JobIntake *intake, QWidget *parent = nullptr,
              EngineTimer *timer = nullptr);
    ~frmSearch() override;

    // Handlers.
    void CmdSearch_Click();
    void CmdStop_Click();
    void CmdSave_Click();
    void ChkSave_Click();
    void Image1_Click();
    void mnuItem_Click(int recordNumber);
    void mnuPrevItem_Click(int index);
    void CreateJobsFromResults(bool saveToFile);
    void ConnectState(bool busy);
    void CheckSearchPrefChanged();

    // Preferences.
    bool SaveSearchPref(const QString &path, const JSearch &item, bool append);
    std::optional<JSearch> SaveCurrentSearchPref();
    bool SearchPrefNameExists(const QString &name) const;
    const JSearchCollection &SearchPrefs() const { return m_prefs; }

    SearchWalk &Walk() const { return *m_walk; }
    FileListModel *Model() const { return m_model; }
    QString PanelText(int panel) const;
    QString SessionLog() const { return m_log; }
    QString ReportPath() const { return m_reportPath; }
    void SetReportPath(const QString &path);
    int SelectedPref() const { return m_selectedPref; }
    const JobsFromRows &Jobs() const { return *m_jobs; }

    // Controls, for the window's parts and tests.
    QLineEdit *txtSvr = nullptr;
    QLineEdit *txtport = nullptr;
    QLineEdit *txtUser = nullptr;
    QLineEdit *txtPwd = nullptr;
    QCheckBox *ChkPsv = nullptr;
    QToolButton *Image1 = nullptr;
    QLineEdit *txtPattern = nullptr;
    QCheckBox *ChkSize = nullptr;
    std::array<QLineEdit *, 2> txt_size1{};
    QCheckBox *ChkDate = nullptr;
    std::array<QLabel *, 2> Label4{};
    std::array<QDateEdit *, 2> DTPicker1{};
    QCheckBox *ChkRoot = nullptr;
    QPlainTextEdit *txtSPF = nullptr;
    QCheckBox *ChkSave = nullptr;
    QPushButton *CmdSave = nullptr;
    QPushButton *CmdSearch = nullptr;
    QPushButton *CmdStop = nullptr;
    std::array<ElidingLabel *, 5> lblCnt{};
    QLabel *Label7 = nullptr;
    QLabel *Image2 = nullptr;
    QTreeView *LV = nullptr;
    QStatusBar *SB = nullptr;
    QMenu *mnuProf = nullptr;
    QMenu *mnuPrev = nullptr;
    QList<QAction *> mnuPrevItem;
    QList<QAction *> mnuItem;
    QMenu *mnuCntxt = nullptr;

    // The main window's close asks every window first and closes them only
    // once all agreed, so a later No leaves a running search or comparison alone.
    Q_INVOKABLE bool AskToClose();
    Q_INVOKABLE void CloseAsAgreed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    bool m_closeAgreed = false;
    // SearchSink
    void SearchStatus(const QString &text) override;
    void SearchLog(const QString &text) override;
    void SearchError(const QString &description) override;
    void SearchElapsed(qint64 seconds) override;
    void SearchFolderListed(const QString &path, const QList<FtpFileItem> &items) override;
    void SearchHits(std::vector<SearchHit> &hits) override;
    void SearchStatisticsChanged(const SearchStatistics &stats) override;
    void SearchFinished(SearchEnd end, bool sessionWasActive, const SearchStatistics &stats) override;
    // The folders of the last search that could not be listed, start folders first.
    QStringList unlistedFolders() const;
    void showUnlistedFolders(SearchEnd end);

    void buildControls();
    void buildMenus();
    void Form_Load();
    void LoadSearchPrefs();
    void setPanel(int panel, const QString &text);
    // The size boxes follow their check box, the date pickers theirs.
    void enableLimitBoxes(bool idle);
    void setTag(QWidget *field, const QString &tag) { m_tags[field] = tag; }
    QString tag(QWidget *field) const { return m_tags.value(field); }
    QString fieldText(QWidget *field) const;
    QAction *prefMenuEntry(int index);
    QString iconKeyFor(const QString &name) const;
    void showContextMenu();
    bool eventFilter(QObject *watched, QEvent *event) override;

    MainWindowServices &m_main;
    JobIntake *m_intake = nullptr;
    SearchWalk *m_walk = nullptr;
    FileListModel *m_model = nullptr;
    std::unique_ptr<JobsFromRows> m_jobs;
    JSearchCollection m_prefs;
    SearchReport m_report;
    QString m_reportPath;
    QString m_log;
    QHash<QWidget *, QString> m_tags;
    std::array<ElidingLabel *, 4> m_panels{};
    int m_selectedPref = -1;
    bool m_saveFailed = false;
    int m_rowNumber = 0;
};
