#include "SoundAlerts.h"

#include "ErrorLog.h"
#include "OptionFlags.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

namespace {

// Wave files through Qt Multimedia; without an audio device the effect only
// reports an error status, so the program stays silent.
class SoundEffectPlayer final : public AlertPlayer
{
public:
    void Play(const QString &path) override
    {
        if (!m_effect)
            m_effect = new QSoundEffect(QCoreApplication::instance()); // gone with the application
        m_effect->setSource(QUrl::fromLocalFile(path));
        m_effect->play();
    }
    void Stop() override
    {
        if (m_effect)
            m_effect->stop();
    }
    ~SoundEffectPlayer() override { delete m_effect; }

private:
    QPointer<QSoundEffect> m_effect;
};

struct AlertState {
    QList<quint8> enabled = QList<quint8>(AlertSoundSlots, 0);
    QStringList paths = QStringList(AlertSoundSlots, QString());
    int lastPlayed = 0;
    std::unique_ptr<AlertPlayer> player;
};

AlertState &State()
{
    static AlertState state;
    return state;
}

AlertPlayer &Player()
{
    AlertState &state = State();
    if (!state.player)
        state.player = std::make_unique<SoundEffectPlayer>();
    return *state.player;
}

} // namespace

QString AlertSoundName(int alert)
{
    static const QStringList names{
        QStringLiteral("Connected"),          QStringLiteral("Disconnected"),      QStringLiteral("Job Completed"),
        QStringLiteral("Overwrite Prompt"),   QStringLiteral("Job Failed"),        QStringLiteral("All Jobs Processed"),
        QStringLiteral("Search Complete"),    QStringLiteral("Comparison Done"),   QStringLiteral("Ftp Access Denied"),
    };
    return alert >= 0 && alert < names.size() ? names.at(alert) : QString();
}

void InstallAlertPlayer(std::unique_ptr<AlertPlayer> player)
{
    State().player = std::move(player);
}

QList<quint8> &SoundEnabledTable() { return State().enabled; }
QStringList &SoundPathTable() { return State().paths; }
int LastAlertPlayed() { return State().lastPlayed; }

void PlayAlertSound(int alert)
{
    try {
        if (!IsOptionOn(OptionFlag::EnableSoundAlerts))
            return;
        AlertState &state = State();
        if (alert < 0 || alert >= state.enabled.size() || alert >= state.paths.size())
            return;
        const QString path = state.paths.at(alert);
        if (state.enabled.at(alert) == 0 || path.isEmpty() || !QFileInfo(path).isFile())
            return;
        if (alert == state.lastPlayed)
            Player().Stop();
        state.lastPlayed = alert;
        Player().Play(path);
    } catch (...) {
        LogCurrentException(QStringLiteral("SoundAlerts"), QStringLiteral("PlayAlertSound"));
    }
}
