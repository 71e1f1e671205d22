#pragma once

#include <QWidget>

// A one-line label that gives way in a narrow window: it shows as much of its
// text as fits, ending in "…", never less than a readable minimum, and holds
// the whole text in text() and in its tool tip.
//
// It is made for texts that change many times a second (a connection's state
// during a batch, the current file of a progress dialog): text() holds each
// new text at once, but its size hint does not depend on the text, so a new
// text never lays the window out again; the shown text is elided only when
// the text or the width changed since the last drawing, and the label is drawn
// through update(): its window (see FramePacer) draws it at most once a frame
// however often its text changes.
class ElidingLabel : public QWidget
{
    Q_OBJECT
public:
    explicit ElidingLabel(const QString &text = QString(), QWidget *parent = nullptr);

    // The text whose width the label keeps at least (e.g. "Connected").
    void setMinimumText(const QString &text);
    // Sets the text and its tool tip. The last `wholeTail` characters (a time,
    // say, whose end tells what it means) are never cut: the text gives way
    // before them.
    void setFullText(const QString &text, int wholeTail = 0);
    void setText(const QString &text) { setFullText(text); }
    QString text() const { return m_text; }
    // The text as it was last drawn.
    QString shownText() const { return m_shown; }
    bool isElided() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QString elided(int width) const;

    QString m_text;
    int m_wholeTail = 0;
    QString m_shown;           // m_text as it fitted the width at the last drawing
    bool m_shownStale = true;  // the text or the width changed since
    QString m_minimumText;
};
