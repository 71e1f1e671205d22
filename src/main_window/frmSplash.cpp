#include "frmSplash.h"

#include "AppInfo.h"
#include "ErrorLog.h"
#include "MainWindowServices.h"
#include "ModTransparency.h"
#include "SharedBanner.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QScreen>

frmSplash::frmSplash(MainWindowServices &mainWindow, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(AppTitle());
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &frmSplash::FadeStep);
}

void frmSplash::Load()
{
    try {
        SetUpSharedBanner();
        setFixedSize(SharedBannerPicture().size());
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        show();
        QPointer<frmSplash> guard(this);
        m_mainWindow.ShowQor();
        if (!guard)
            return;
        raise();
        m_timer.start();
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("Form_Load"));
    }
}

void frmSplash::FadeStep()
{
    try {
        if (m_holdTicks > 0) {
            --m_holdTicks;
            return;
        }
        m_alpha = qMax(0, m_alpha - kFadeStep);
        SetWindowOpacity(this, m_alpha);
        if (m_alpha == 0) {
            m_timer.stop();
            emit FadedOut();
            close();
        }
    } catch (...) {
        LogCurrentException(objectName(), QStringLiteral("tmrFade_Timer"));
    }
}

void frmSplash::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, SharedBannerPicture());
    const QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        return;
    painter.setPen(Qt::white);
    painter.drawText(rect().adjusted(0, 0, -12, -8), Qt::AlignRight | Qt::AlignBottom,
                     QStringLiteral("Version ") + version);
}
