#pragma once

#include <QLabel>

// A one-line label that gives way in a narrow window: it shows as much of its
// text as fits, ending in "…", never less than a readable minimum, and holds
// the whole text in text() and in its tool tip.
class ElidingLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidingLabel(const QString &text = QString(), QWidget *parent = nullptr);

    // The text whose width the label keeps at least (e.g. "Connected").
    void setMinimumText(const QString &text);
    // Sets the text and its tool tip.
    void setFullText(const QString &text);
    bool isElided() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_minimumText;
};
