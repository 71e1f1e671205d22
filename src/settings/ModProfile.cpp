#include "ModProfile.h"

#include "DataRoot.h"
#include "ErrorLog.h"
#include "FrmProfile.h"
#include "ProfileRecordFile.h"

#include <QComboBox>

QString ProfileFilePath;

namespace {
const QString kModule = QStringLiteral("ModProfile");
}

QString DefaultProfileFilePath() { return DataRoot::SystemFolder() + QStringLiteral("/ProfileEx.dat"); }

void AddProfileNames(QComboBox *list, const QString &filePath)
{
    const QStringList names = ReadProfileFile(filePath);
    for (int i = 0; i < names.size(); ++i) {
        const QString name = names[i].trimmed();
        if (!name.isEmpty())
            list->addItem(name, i + 1);
    }
}

QStringList ReadProfileFile(const QString &filePath)
{
    try {
        const ProfileRecordFile file(filePath);
        if (!file.exists())
            return {};
        const QByteArray bytes = file.readBytes();
        if (bytes.isEmpty())
            return {QString()};
        const qsizetype count = bytes.size() / ProfileRecordFile::RecordSize;
        QStringList names;
        names.reserve(count);
        for (qsizetype r = 0; r < count; ++r) {
            const auto profile = ProfileRecordFile::DecodeRecord(
                bytes.mid(r * ProfileRecordFile::RecordSize, ProfileRecordFile::RecordSize));
            names.append(profile ? profile->ProfileName : QString());
        }
        return names;
    } catch (...) {
        return {}; // an unreadable file lists nothing
    }
}

std::optional<CProfile> loadProfileData(const QString &filePath, int &recordNumber)
{
    try {
        const ProfileRecordFile file(filePath);
        if (!file.exists())
            throw RuntimeError(ErrorNumber::FileNotFound, QStringLiteral("File not found: ") + filePath);
        return ProfileRecordFile::DecodeRecord(file.readRecord(recordNumber));
    } catch (...) {
        LogCurrentException(kModule, QStringLiteral("loadProfileData"));
        return std::nullopt;
    }
}

std::optional<CProfile> getProfile(bool &bConnect, bool &ProfEdited, QWidget *parent)
{
    try {
        FrmProfile editor(bConnect, parent);
        editor.exec();
        ProfEdited = editor.ProfEdited;
        if (!editor.BSelected)
            return std::nullopt;
        bConnect = editor.bConnect;
        return editor.ProfileFromFields();
    } catch (...) {
        LogCurrentException(kModule, QStringLiteral("getProfile"));
        return std::nullopt;
    }
}
