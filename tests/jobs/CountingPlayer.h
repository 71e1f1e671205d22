#pragma once

#include "SoundAlerts.h"

// An alert player that counts the sounds it is asked to play.
class CountingPlayer final : public AlertPlayer
{
public:
    explicit CountingPlayer(int &plays) : m_plays(plays) {}
    void Play(const QString &) override { ++m_plays; }
    void Stop() override {}

private:
    int &m_plays;
};
