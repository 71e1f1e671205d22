#pragma once

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <ostream>

// A settings file as the dialog writes it: two handlers (the second one's
// Base64 ends in "="), one sound, fonts in slots 0, 3 and 4.
extern const QByteArray kGoldenSettings;

// Replaces (or, with nothing, removes) the settings file of the test data root.
void PutSettingsFile(const QByteArray &contents);
void RemoveSettingsFile();
QByteArray SettingsFileBytes();

// Each test starts without a settings file and leaves none behind, also when
// it put a folder in the file's place.
class SettingsFileFixture : public ::testing::Test
{
protected:
    void SetUp() override { RemoveSettingsFile(); }
    void TearDown() override;
};

// Readable test failures for texts and lists of texts.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
