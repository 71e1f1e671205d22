#pragma once

#include <QString>

// One file-type handler: which remote files (by name pattern) may be viewed or
// edited, and with what: an outside application, the built-in quick editor or
// the desktop's default "open" action.
class FileHandler
{
public:
    // Names of the allowed actions, indexed by Action().
    static QString ActionName(int action);
    static constexpr int ActionCount = 4;

    quint8 SystemOpenEnabled() const { return m_systemOpenEnabled; }
    void SetSystemOpenEnabled(quint8 value) { m_systemOpenEnabled = value; }

    const QString &ApplicationTitle() const { return m_applicationTitle; }
    void SetApplicationTitle(const QString &value) { m_applicationTitle = value; }

    // The fields joined by the character 2, in their stored order.
    QString GetPackedData() const;
    // Fills the fields from a packed record. False when the record has fewer
    // than eight fields or a number does not convert; the fields read before
    // the bad one keep their new values.
    bool ReadFromString(const QString &data);

    // The key: computed from patterns and action on first use, then kept even
    // when they change, until RegenerateID().
    QString UniqueID() const;
    QString RegenerateID();

    qint16 Action() const { return m_action; }
    void SetAction(qint16 value) { m_action = value; }

    qint16 InternalEditorEnabled() const { return m_internalEditorEnabled; }
    void SetInternalEditorEnabled(qint16 value) { m_internalEditorEnabled = value; }

    const QString &ApplicationFlags() const { return m_applicationFlags; }
    void SetApplicationFlags(const QString &value) { m_applicationFlags = value; }

    const QString &ApplicationPath() const { return m_applicationPath; }
    void SetApplicationPath(const QString &value) { m_applicationPath = value; }

    const QString &FilePatterns() const { return m_filePatterns; }
    void SetFilePatterns(const QString &value) { m_filePatterns = value; }

private:
    QString ComputeID() const;

    QString m_filePatterns;
    QString m_applicationPath;
    QString m_applicationFlags;
    qint16 m_internalEditorEnabled = 0;
    qint16 m_action = 0;
    mutable QString m_uniqueId;
    QString m_applicationTitle;
    quint8 m_systemOpenEnabled = 0;
};
