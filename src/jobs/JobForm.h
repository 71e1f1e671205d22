#pragma once

#include "FtpTaskCollection.h"

#include <QString>
#include <QStringList>

// What the new-job dialog's fields hold when "&Save" is pressed.
struct JobForm {
    bool upload = false;
    QString server;
    QString port;
    QString user;
    QString password;
    bool passive = true;
    QString remoteText;
    QStringList localEntries; // the chosen local files (upload) or the target (download)
    QString localFolder;      // relative local entries are taken from here; empty: the working folder
};

// The jobs a form makes, one per local entry, or why it makes none.
struct JobFormResult {
    FtpTaskCollection jobs;
    QString error;        // shown to the user; empty with no jobs: the failure was logged
    bool refused = false; // nothing is handed over
    bool disableSave = false;
};

// Builds the jobs of a new-job form: the server's "ftp://" and host are cut
// from the remote text; its last segment names the remote file of one upload
// (when it holds ".") or of a download; otherwise it is the remote folder.
JobFormResult BuildJobsFromForm(const JobForm &form);
