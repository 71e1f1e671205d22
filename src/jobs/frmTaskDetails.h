#pragma once

#include <QDialog>

class FtpTask;
class KeyedImageList;
class QLabel;
class QLineEdit;
class QPushButton;

// " Job Detail": one queued job shown read-only: direction, both files and
// their times, size, bytes transferred, time left, status and last attempt,
// and a warning when the job is bound to fail or will replace a local file.
class frmTaskDetails : public QDialog
{
    Q_OBJECT
public:
    // `pictures` holds the direction pictures "UP" and "DN".
    explicit frmTaskDetails(const KeyedImageList &pictures, QWidget *owner = nullptr);

    // Fills the dialog from the job and shows it modally over its owner.
    void ShowTaskDetails(FtpTask &job);
    void FillTaskDetails(FtpTask &job);
    void CmdCnc_Click();

    // Megabytes and the exact byte count: "1.00MB (1,048,576 Bytes)".
    static QString FormatJobSize(qint64 bytes);

    QLabel *Image1 = nullptr;
    QLabel *lblHdr = nullptr;
    QLabel *lbl1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLabel *lbl2 = nullptr;
    QLineEdit *Text2 = nullptr;
    QLabel *lblTime1[2] = {nullptr, nullptr};
    QLabel *lblTime2[2] = {nullptr, nullptr};
    QLabel *lblTime = nullptr;
    QLabel *lblSize = nullptr;
    QLabel *lblTrf = nullptr;
    QLabel *lblStatus = nullptr;
    QLabel *lblTime3[2] = {nullptr, nullptr};
    QLabel *Image2 = nullptr;
    QLabel *lblWarn = nullptr;
    QPushButton *CmdCnc = nullptr;

private:
    const KeyedImageList &m_pictures;
};
