#pragma once

#include <QPixmap>
#include <QWidget>

// The header strip of the profile and quick-connect dialogs: a strip of the
// program's banner picture stretched across the dialog, with a title and a
// subtitle over it.
class ProfileDialogHeader : public QWidget
{
    Q_OBJECT

public:
    ProfileDialogHeader(const QString &title, const QString &subtitle, QWidget *parent = nullptr);

    QString title() const { return m_title; }
    QString subtitle() const { return m_subtitle; }

    // The banner the strip is cut from (drawn by the program itself).
    static QPixmap BannerPicture();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QString m_title;
    QString m_subtitle;
    QPixmap m_strip; // the banner's top strip at the header's width
};
