// The new-job dialog's Save rules and address paste, and the job-details texts.
#include "FtpTask.h"
#include "JobForm.h"
#include "JobIntake.h"
#include "KeyedImageList.h"
#include "TestFiles.h"
#include "frmTask.h"
#include "frmTaskDetails.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

namespace {

class SaveRules : public ::testing::Test
{
protected:
    JobForm form(bool upload, const QString &remote, const QStringList &locals) const
    {
        JobForm f;
        f.upload = upload;
        f.server = QStringLiteral("ftp.example.org");
        f.port = QStringLiteral("21");
        f.user = QStringLiteral("ann");
        f.password = QStringLiteral("pw");
        f.remoteText = remote;
        f.localEntries = locals;
        return f;
    }

    QString file(const QString &name)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(WriteFileBytes(path, name.toUtf8()));
        return path;
    }

    static std::vector<FtpTaskCollection::Job> jobsOf(const JobFormResult &result)
    {
        return {result.jobs.begin(), result.jobs.end()};
    }

    QTemporaryDir dir;
};

struct CollectingIntake : JobIntake {
    void AcceptJobs(const FtpTaskCollection &jobs, bool report) override
    {
        for (const auto &job : jobs)
            accepted.push_back(job);
        reported = report;
    }
    bool AddJob(const FtpTaskCollection::Job &) override { return false; }
    void ReportJobsAdded(bool, int, int) override {}
    void RunQueuedJobs() override {}
    std::vector<FtpTaskCollection::Job> accepted;
    bool reported = false;
};

} // namespace

TEST_F(SaveRules, SeveralUploadsGoIntoTheRemoteFolderUnderTheirOwnNames)
{
    const QStringList locals = {file(QStringLiteral("a.txt")), file(QStringLiteral("b.txt"))};
    for (const QString &remote : {QStringLiteral("/in/"), QStringLiteral("/in/v1.0")}) {
        const auto jobs = jobsOf(BuildJobsFromForm(form(true, remote, locals)));
        ASSERT_EQ(jobs.size(), 2u) << remote.toStdString();
        EXPECT_EQ(jobs[0]->RemoteFileTitle(), QStringLiteral("a.txt"));
        EXPECT_EQ(jobs[1]->RemoteFileTitle(), QStringLiteral("b.txt"));
        EXPECT_EQ(jobs[0]->RemotePath(), remote);
        EXPECT_EQ(jobs[0]->LocalPath(), dir.path());
        EXPECT_EQ(jobs[0]->Size(), 5);
        EXPECT_EQ(jobs[0]->OriginalLocalSize(), 5);
        EXPECT_TRUE(jobs[0]->IsUpload());
        EXPECT_FALSE(jobs[0]->OriginalLocalFileTime().isEmpty());
    }
}

TEST_F(SaveRules, OneUploadMayNameItsRemoteFile)
{
    JobForm f = form(true, QStringLiteral("ftp://FTP.example.org/pub/new.txt"), {file(QStringLiteral("a.txt"))});
    f.server = QStringLiteral("ftp://ftp.example.org");
    f.passive = false;
    const auto jobs = jobsOf(BuildJobsFromForm(f));
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0]->RemoteFileTitle(), QStringLiteral("new.txt"));
    EXPECT_EQ(jobs[0]->RemotePath(), QStringLiteral("/pub"));
    EXPECT_EQ(jobs[0]->ServerAddress(), QStringLiteral("ftp.example.org"));
    EXPECT_EQ(jobs[0]->TransferMode(), 1); // "Passive" cleared: active
}

TEST_F(SaveRules, DownloadTargets)
{
    const auto intoFolder = jobsOf(BuildJobsFromForm(form(false, QStringLiteral("/pub/r.bin"), {dir.path()})));
    ASSERT_EQ(intoFolder.size(), 1u);
    EXPECT_EQ(intoFolder[0]->LocalPath(), dir.path());
    EXPECT_EQ(intoFolder[0]->LocalFileTitle(), QStringLiteral("r.bin"));
    EXPECT_EQ(intoFolder[0]->RemotePath(), QStringLiteral("/pub"));
    EXPECT_EQ(intoFolder[0]->Size(), -1);
    EXPECT_EQ(intoFolder[0]->TransferMode(), 0);
    EXPECT_FALSE(intoFolder[0]->IsUpload());

    const auto ontoFile = jobsOf(BuildJobsFromForm(form(false, QStringLiteral("/pub/r.bin"), {file(QStringLiteral("mine.bin"))})));
    ASSERT_EQ(ontoFile.size(), 1u);
    EXPECT_EQ(ontoFile[0]->LocalFileTitle(), QStringLiteral("mine.bin"));
    EXPECT_EQ(ontoFile[0]->RemoteFileTitle(), QStringLiteral("r.bin"));

    // A remote folder names no file: the job has no remote name (the intake passes it over).
    const auto folder = jobsOf(BuildJobsFromForm(form(false, QStringLiteral("/pub/"), {dir.path()})));
    ASSERT_EQ(folder.size(), 1u);
    EXPECT_TRUE(folder[0]->RemoteFileTitle().isEmpty());

    const JobFormResult missing = BuildJobsFromForm(form(false, QStringLiteral("/pub/r.bin"), {dir.filePath(QStringLiteral("no/such"))}));
    EXPECT_TRUE(missing.refused);
    EXPECT_TRUE(missing.disableSave);
    EXPECT_EQ(missing.error, QStringLiteral("Invalid destination folder or file!"));
    EXPECT_EQ(missing.jobs.Count(), 0);
}

TEST_F(SaveRules, FormsThatCannotMakeAJobAreRefusedClearly)
{
    // A file name without its folder, a port out of range.
    for (const JobForm &f : {form(false, QStringLiteral("r.bin"), {dir.path()}),
                             form(true, QStringLiteral("new.txt"), {file(QStringLiteral("a.txt"))})}) {
        const JobFormResult result = BuildJobsFromForm(f);
        EXPECT_TRUE(result.refused);
        EXPECT_FALSE(result.error.isEmpty());
        EXPECT_EQ(result.jobs.Count(), 0);
    }
    for (const QString &port : {QStringLiteral("0"), QStringLiteral("65536"), QStringLiteral("x")}) {
        JobForm f = form(false, QStringLiteral("/r.bin"), {dir.path()});
        f.port = port;
        const JobFormResult result = BuildJobsFromForm(f);
        EXPECT_TRUE(result.refused) << port.toStdString();
        EXPECT_TRUE(result.error.contains(QStringLiteral("65535")));
    }
    // An upload whose file has gone hands over nothing.
    const JobFormResult gone = BuildJobsFromForm(form(true, QStringLiteral("/in/"), {dir.filePath(QStringLiteral("gone.txt"))}));
    EXPECT_TRUE(gone.refused);
    EXPECT_EQ(gone.jobs.Count(), 0);
}

TEST(NewJobDialog, PastedAddressOfAnotherServerTakesItsHost)
{
    CollectingIntake intake;
    frmTask dialog(intake);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Add New Job - Download"));
    dialog.txtSvr->setText(QStringLiteral("other.example.org"));
    dialog.txtLocPath->setText(QStringLiteral("/tmp"));
    dialog.show();
    dialog.txtRmtPath->setEditText(QStringLiteral("ftp://Host.Example.org/pub/file.txt"));
    QTest::keyRelease(dialog.txtRmtPath->lineEdit(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(dialog.txtSvr->text(), QStringLiteral("Host.Example.org"));
    EXPECT_EQ(dialog.txtport->text(), QStringLiteral("21"));
    EXPECT_TRUE(dialog.txtUser->text().isEmpty());
    EXPECT_TRUE(dialog.txtPwd->text().isEmpty());
    EXPECT_FALSE(dialog.CmdOK->isEnabled());
    dialog.txtUser->setText(QStringLiteral("ann"));
    EXPECT_FALSE(dialog.CmdOK->isEnabled()); // an empty password keeps Save off
    dialog.txtPwd->setText(QStringLiteral("pw"));
    EXPECT_TRUE(dialog.CmdOK->isEnabled());

    // The same host in another letter case changes nothing.
    dialog.txtRmtPath->setEditText(QStringLiteral("ftp://HOST.example.org/pub/other.txt"));
    QTest::keyRelease(dialog.txtRmtPath->lineEdit(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(dialog.txtSvr->text(), QStringLiteral("Host.Example.org"));
    EXPECT_EQ(dialog.txtUser->text(), QStringLiteral("ann"));

    dialog.CmdOK_Click();
    ASSERT_EQ(intake.accepted.size(), 1u);
    EXPECT_TRUE(intake.reported);
    EXPECT_EQ(intake.accepted[0]->ServerAddress(), QStringLiteral("Host.Example.org"));
    EXPECT_EQ(intake.accepted[0]->RemotePath(), QStringLiteral("/pub"));
    EXPECT_EQ(intake.accepted[0]->RemoteFileTitle(), QStringLiteral("other.txt"));
    EXPECT_FALSE(dialog.isVisible());
}

namespace {

class DetailsTexts : public ::testing::Test
{
protected:
    std::shared_ptr<FtpTask> job(bool upload)
    {
        auto j = std::make_shared<FtpTask>();
        j->setIsUpload(upload);
        j->setLocalPath(dir.path());
        j->setLocalFileTitle(QStringLiteral("f.bin"));
        j->setRemotePath(QStringLiteral("/pub"));
        j->setRemoteFileTitle(QStringLiteral("f.bin"));
        j->setServerAddress(QStringLiteral("h"));
        j->setServerPort(21);
        return j;
    }

    QTemporaryDir dir;
    KeyedImageList pictures;
    frmTaskDetails dialog{pictures};
};

} // namespace

TEST_F(DetailsTexts, UploadAndDownloadShowSourceFirst)
{
    auto up = job(true);
    up->setSize(1048576);
    dialog.FillTaskDetails(*up);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral(" Job Detail"));
    EXPECT_EQ(dialog.lblHdr->text(), QStringLiteral("Upload Job"));
    EXPECT_EQ(dialog.lbl1->text(), QStringLiteral("Local File:"));
    EXPECT_EQ(dialog.Text1->text(), dir.filePath(QStringLiteral("f.bin")));
    EXPECT_EQ(dialog.Text2->text(), QStringLiteral("h:21/pub/f.bin"));
    EXPECT_EQ(dialog.lblTime1[0]->text(), QStringLiteral("Local File Time:"));
    EXPECT_EQ(dialog.lblSize->text(), QStringLiteral("1.00MB (1,048,576 Bytes)"));
    EXPECT_EQ(dialog.lblTrf->text(), QStringLiteral("0.00MB ( Bytes)"));
    EXPECT_EQ(dialog.lblStatus->text(), QStringLiteral("Ideal"));
    // The source is gone: the upload will fail.
    EXPECT_FALSE(dialog.lblWarn->isHidden());
    EXPECT_EQ(dialog.lblWarn->text(), QStringLiteral("The source file no more exists on local system! Upload process will fail."));

    auto down = job(false);
    down->setStatus(3);
    down->setFailureReason(7);
    frmTaskDetails second(pictures);
    second.FillTaskDetails(*down);
    EXPECT_EQ(second.lblHdr->text(), QStringLiteral("Download Job"));
    EXPECT_EQ(second.lbl1->text(), QStringLiteral("Remote File:"));
    EXPECT_EQ(second.Text1->text(), QStringLiteral("h:21/pub/f.bin"));
    EXPECT_EQ(second.lblTime1[0]->text(), QStringLiteral("Ftp File Time:"));
    EXPECT_EQ(second.lblStatus->text(), QStringLiteral("Failed (Cancelled by user)"));
    EXPECT_TRUE(second.lblWarn->isHidden());
}

TEST_F(DetailsTexts, DownloadWarnsOnlyWhenALargerLocalFileWillBeReplaced)
{
    ASSERT_TRUE(WriteFileBytes(dir.filePath(QStringLiteral("f.bin")), QByteArray(100, 'x')));
    auto down = job(false);
    down->setTransferedBytes(50);
    dialog.FillTaskDetails(*down);
    EXPECT_FALSE(dialog.lblWarn->isHidden());
    EXPECT_EQ(dialog.lblWarn->text(), QStringLiteral("The destination file already exists on local system and will be overwritten!"));

    down->setTransferedBytes(100);
    frmTaskDetails notLarger(pictures);
    notLarger.FillTaskDetails(*down);
    EXPECT_TRUE(notLarger.lblWarn->isHidden());

    down->setTransferedBytes(0);
    down->setStatus(2);
    frmTaskDetails completed(pictures);
    completed.FillTaskDetails(*down);
    EXPECT_TRUE(completed.lblWarn->isHidden());
    EXPECT_TRUE(completed.lblWarn->text().isEmpty());
}

// The heading and its picture stand whole inside the header strip, in the
// default font and in a large one, and the title bar has room for the caption.
TEST_F(DetailsTexts, TheHeaderAndTheCaptionReadWhole)
{
    const QString displayName = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Ftp Qor"));
    const QFont normal = QApplication::font();
    QFont large = normal;
    large.setPointSizeF(large.pointSizeF() * 4);
    for (const QFont &font : {normal, large}) {
        SCOPED_TRACE(font.toString().toStdString());
        QApplication::setFont(font);
        frmTaskDetails details(pictures);
        auto down = job(false);
        details.FillTaskDetails(*down);
        details.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&details));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const auto *strip = details.findChild<QWidget *>(QStringLiteral("Picture1"));
        ASSERT_NE(strip, nullptr);
        const QRect inside = strip->rect();
        EXPECT_GE(strip->height(), QFontMetrics(details.lblHdr->font()).height());
        for (const QWidget *part : {static_cast<QWidget *>(details.lblHdr), static_cast<QWidget *>(details.Image1)}) {
            ASSERT_TRUE(strip->isAncestorOf(part)) << part->objectName().toStdString();
            const QRect at(part->mapTo(strip, QPoint(0, 0)), part->size());
            EXPECT_TRUE(inside.contains(at)) << part->objectName().toStdString();
        }
        const QFontMetrics heading(details.lblHdr->font());
        EXPECT_GE(details.lblHdr->height(), heading.height());
        EXPECT_GE(details.lblHdr->width(), heading.horizontalAdvance(details.lblHdr->text()));
        EXPECT_GE(details.Image1->height(), 32);

        QFont title = QApplication::font("QMdiSubWindowTitleBar");
        QFont own = details.font();
        title.setBold(true);
        own.setBold(true);
        const QString shown = details.windowTitle() + QStringLiteral(" \u2014 Ftp Qor");
        const int caption =
            std::max(QFontMetrics(title).horizontalAdvance(shown), QFontMetrics(own).horizontalAdvance(shown));
        EXPECT_GE(details.width(), caption + 4 * details.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &details));
    }
    QApplication::setFont(normal);
    QGuiApplication::setApplicationDisplayName(displayName);
}
