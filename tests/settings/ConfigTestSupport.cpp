#include "ConfigTestSupport.h"

#include "DataRoot.h"
#include "SettingsFile.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>

const QByteArray kGoldenSettings =
    "'--- Application generated file, Please do not edit -----\r\n"
    "[General]\r\n"
    "Value=101000000011\r\n"
    "[job]\r\n"
    "Value=11000000101\r\n"
    "[History]\r\n"
    "Value=0010100\r\n"
    "[System]\r\n"
    "Value=01101\r\n"
    "FileHandler={Ki50eHQ7Ki5sb2cCL3Vzci9iaW4vZ2VkaXQCLS1uZXctd2luZG93AjECMwI0NTYyYzM5NDk4NDNjOGMy"
    "ZDk5ZWQ2NDNmOTYzMjZhOAJHZWRpdAIw}\r\n"
    "FileHandler={Ki5odG1sAi91c3IvYmluL2ZpcmVmb3gCAjACMQIyZGMxYjJjY2Y5ZDVmMjgzYWM3YWRjNzMzYjA0ZWQ2MgJGaXJlZm94AjE=}\r\n"
    "[Sound]\r\n"
    "SoundAlert=1{/tmp/sounds/connected.wav}\r\n"
    "SoundAlert=0{}\r\n"
    "SoundAlert=0{/tmp/sounds/done.wav}\r\n"
    "SoundAlert=0{}\r\n"
    "SoundAlert=0{}\r\n"
    "SoundAlert=0{}\r\n"
    "SoundAlert=0{}\r\n"
    "SoundAlert=0{}\r\n"
    "SoundAlert=0{}\r\n"
    "[Fonts]\r\n"
    "Font=1{Courier New,8.25}\r\n"
    "Font=0{Arial,8.25}\r\n"
    "Font=0{Arial,8.25}\r\n"
    "Font=1{Tahoma,6.75}\r\n"
    "Font=1{Courier New,12}\r\n";

void PutSettingsFile(const QByteArray &contents)
{
    QDir().mkpath(DataRoot::SystemFolder());
    QFile file(SettingsFilePath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
}

void RemoveSettingsFile()
{
    QFile::remove(SettingsFilePath());
}

QByteArray SettingsFileBytes()
{
    return ReadFileBytes(SettingsFilePath());
}

void SettingsFileFixture::TearDown()
{
    QDir(SettingsFilePath()).removeRecursively();
    RemoveSettingsFile();
}
