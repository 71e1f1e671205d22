// The window's share of running batches: the runner behind the batch
// builders, the overwrite pictures and the server-to-server copy button.
#include "frmZAVUde.h"

#include "BatchRunner.h"
#include "BatchTransfers.h"
#include "ServerCopy.h"

#include <QToolButton>

void frmZAVUde::wireBatchRunner()
{
    m_runner = new BatchRunner(*m_batch, *m_slots, *m_local, m_modal, this, this);
    m_batch->setSteps(m_runner);
    const auto picture = [this](const QString &key) {
        return m_images.Contains(key) ? m_images.Picture(key).pixmap(32, 32) : QPixmap();
    };
    m_runner->Questions().SetPictures(picture(QStringLiteral("OUT")), picture(QStringLiteral("IN")));
    for (int i = 0; i < 2; ++i) {
        if (CmdToFTP[i])
            connect(CmdToFTP[i], &QToolButton::clicked, this, [this, i] { m_runner->Copy().CmdToFTP_Click(i); });
    }
}
