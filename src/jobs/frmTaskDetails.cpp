#include "frmTaskDetails.h"

#include "DialogWidgets.h"
#include "ErrorLog.h"
#include "FtpTask.h"
#include "KeyedImageList.h"
#include "ModTimeZone.h"
#include "ProfileDialogHeader.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kObject = QStringLiteral("frmTaskDetails");
constexpr int kPictureSide = 32;

QLabel *valueLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

frmTaskDetails::frmTaskDetails(const KeyedImageList &pictures, QWidget *owner)
    : QDialog(owner), m_pictures(pictures)
{
    setObjectName(kObject);
    setWindowTitle(QStringLiteral(" Job Detail"));
    auto *layout = new QVBoxLayout(this);

    // The header strip holds the direction picture and the heading, and is as
    // tall as they need: a heading in a large font is never cut.
    auto *header = new ProfileDialogHeader(QString(), QString(), this);
    header->setObjectName(QStringLiteral("Picture1"));
    auto *top = new QHBoxLayout(header);
    top->setContentsMargins(10, 6, 10, 6);
    Image1 = new QLabel(header);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(kPictureSide, kPictureSide);
    lblHdr = new QLabel(header);
    lblHdr->setObjectName(QStringLiteral("lblHdr"));
    QFont bold = lblHdr->font();
    bold.setBold(true);
    lblHdr->setFont(bold);
    QPalette onStrip = lblHdr->palette();
    onStrip.setColor(QPalette::WindowText, Qt::white); // the strip is dark where the heading stands
    lblHdr->setPalette(onStrip);
    lblHdr->setMinimumHeight(QFontMetrics(bold).height());
    top->addWidget(Image1);
    top->addWidget(lblHdr, 1);
    header->setFixedHeight(std::max(header->height(), top->sizeHint().height()));
    layout->addWidget(header);

    auto *grid = new QGridLayout;
    int row = 0;
    const auto addRow = [&](QWidget *caption, QWidget *value) {
        grid->addWidget(caption, row, 0);
        grid->addWidget(value, row, 1);
        ++row;
    };
    lbl1 = new QLabel(this);
    Text1 = new QLineEdit(this);
    Text1->setReadOnly(true);
    addRow(lbl1, Text1);
    lbl2 = new QLabel(this);
    Text2 = new QLineEdit(this);
    Text2->setReadOnly(true);
    addRow(lbl2, Text2);
    for (QLabel **pair : {lblTime1, lblTime2, lblTime3}) {
        pair[0] = new QLabel(this);
        pair[1] = valueLabel(this);
        addRow(pair[0], pair[1]);
    }
    lblTime3[0]->setText(QStringLiteral("Last Attempt:"));
    lblTime = valueLabel(this);
    addRow(new QLabel(QStringLiteral("Time Left:"), this), lblTime);
    lblSize = valueLabel(this);
    addRow(new QLabel(QStringLiteral("File Size:"), this), lblSize);
    lblTrf = valueLabel(this);
    addRow(new QLabel(QStringLiteral("Transferred:"), this), lblTrf);
    lblStatus = valueLabel(this);
    addRow(new QLabel(QStringLiteral("Status:"), this), lblStatus);
    layout->addLayout(grid);

    auto *warning = new QHBoxLayout;
    Image2 = new QLabel(this);
    Image2->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(16, 16));
    lblWarn = new QLabel(this);
    lblWarn->setWordWrap(true);
    warning->addWidget(Image2);
    warning->addWidget(lblWarn, 1);
    layout->addLayout(warning);
    Image2->hide();
    lblWarn->hide();

    CmdCnc = new QPushButton(QStringLiteral("&OK"), this);
    CmdCnc->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdCnc);
    layout->addLayout(buttons);
    connect(CmdCnc, &QPushButton::clicked, this, &frmTaskDetails::CmdCnc_Click);
    resize(520, sizeHint().height());
    KeepCaptionWhole(this);
}

QString frmTaskDetails::FormatJobSize(qint64 bytes)
{
    const QLocale locale;
    // The thousands form prints nothing for zero.
    const QString exact = bytes == 0 ? QString() : locale.toString(bytes);
    return locale.toString(static_cast<double>(bytes) / 1048576.0, 'f', 2) + QStringLiteral("MB (") + exact
           + QStringLiteral(" Bytes)");
}

void frmTaskDetails::ShowTaskDetails(FtpTask &job)
{
    FillTaskDetails(job);
    exec();
}

void frmTaskDetails::FillTaskDetails(FtpTask &job)
{
    try {
        const QString remote =
            job.ServerAddress() + QLatin1Char(':') + QString::number(job.ServerPort()) + job.GetRemoteFilePath();
        int generalDate = 0;
        const QString ftpTime = FormatServerTimeLocal(job.RemoteFileTime(), generalDate);
        const QString localTime = job.LocalDate();
        const QString localFile = job.GetLocalFilePath();
        const bool upload = job.IsUpload();
        lblHdr->setText(upload ? QStringLiteral("Upload Job") : QStringLiteral("Download Job"));
        Image1->setPixmap(
            m_pictures.Picture(upload ? QStringLiteral("UP") : QStringLiteral("DN")).pixmap(kPictureSide, kPictureSide));
        lbl1->setText(upload ? QStringLiteral("Local File:") : QStringLiteral("Remote File:"));
        Text1->setText(upload ? localFile : remote);
        lbl2->setText(upload ? QStringLiteral("Remote File:") : QStringLiteral("Local File:"));
        Text2->setText(upload ? remote : localFile);
        lblTime1[0]->setText(upload ? QStringLiteral("Local File Time:") : QStringLiteral("Ftp File Time:"));
        lblTime1[1]->setText(upload ? localTime : ftpTime);
        lblTime2[0]->setText(upload ? QStringLiteral("Ftp File Time:") : QStringLiteral("Local File Time:"));
        lblTime2[1]->setText(upload ? ftpTime : localTime);

        const QFileInfo file(localFile);
        if (upload) {
            const bool missing = !file.exists();
            lblWarn->setText(missing ? QStringLiteral("The source file no more exists on local system! Upload process will fail.")
                                     : QString());
            Image2->setVisible(missing);
            lblWarn->setVisible(missing);
        } else if (file.exists() && job.Status() != 2) {
            const bool replaced = file.size() > job.TransferedBytes();
            lblWarn->setText(replaced ? QStringLiteral("The destination file already exists on local system and will be overwritten!")
                                      : QString());
            Image2->setVisible(replaced);
            lblWarn->setVisible(replaced);
        }

        lblTime->setText(job.GetEstimatedTimeLeft());
        lblSize->setText(FormatJobSize(job.Size()));
        lblTrf->setText(FormatJobSize(job.TransferedBytes()));
        lblStatus->setText(GetJobStatusText(job, true));
        lblTime3[1]->setText(job.LastAttemp());
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("FillTaskDetails"));
    }
}

void frmTaskDetails::CmdCnc_Click() { hide(); }
