#pragma once

#include <QComboBox>

// A combo box of folder paths. A path wider than the box shows its end, the
// folder itself, after a leading "…"; the whole path is in the tool tip.
class PathComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit PathComboBox(QWidget *parent = nullptr);

    // The text the box shows for its current item at its current width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect textRect(const QStyleOptionComboBox &option) const;
};
