#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>
#include <QTimer>

class QLabel;
class QPushButton;

// "Confirm": asks whether an existing file is overwritten, skipped, or the
// same for the rest of the run. Without an answer it overwrites once the
// countdown has run out. The answer is left in Tag(): "1" overwrite, "*"
// overwrite all, "-1" skip, "-*" skip all, "" closed without an answer.
class frmOverwrite : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kCountdownStart = 11;
    static constexpr int kTickMs = 1000;

    // Tests shorten the countdown; the program keeps 11 ticks of a second.
    explicit frmOverwrite(QWidget *parent = nullptr, int countdownStart = kCountdownStart, int tickMs = kTickMs);

    QString Tag() const { return m_tag; }
    int OverwriteCountdown() const { return m_countdown; }

    // "Do you wish to overwrite existing file" / "'name' ?"
    void SetFileName(const QString &name);
    void SetImage(const QPixmap &picture);

    QLabel *lblHdr = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *lblInfo = nullptr;
    QLabel *lblTime = nullptr;
    QPushButton *CmdOK = nullptr;
    QPushButton *CmdOKAll = nullptr;
    QPushButton *CmdStop = nullptr;
    QPushButton *CmdStopAll = nullptr;
    QTimer Timer1;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Timer1_Timer();
    void answer(const QString &code);

    QString m_tag;
    int m_countdown = kCountdownStart;
};
