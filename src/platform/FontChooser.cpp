#include "FontChooser.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <cmath>

FontChooser::FontChooser(const QFont &initial, const QList<int> &sizes, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FontChooser"));
    lstFamily = new QListWidget(this);
    lstFamily->setObjectName(QStringLiteral("lstFamily"));
    lstFamily->addItems(QFontDatabase::families());
    lstSize = new QListWidget(this);
    lstSize->setObjectName(QStringLiteral("lstSize"));
    for (const int size : sizes)
        lstSize->addItem(QString::number(size));
    lstSize->setMaximumWidth(lstSize->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 40);
    lblSample = new QLabel(QStringLiteral("AaBbYyZz 0123"), this);
    lblSample->setObjectName(QStringLiteral("lblSample"));
    lblSample->setMinimumHeight(48);
    lblSample->setAlignment(Qt::AlignCenter);
    lblSample->setFrameShape(QFrame::StyledPanel);
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QGridLayout(this);
    layout->addWidget(new QLabel(tr("Font:"), this), 0, 0);
    layout->addWidget(new QLabel(tr("Size:"), this), 0, 1);
    layout->addWidget(lstFamily, 1, 0);
    layout->addWidget(lstSize, 1, 1);
    layout->addWidget(lblSample, 2, 0, 1, 2);
    layout->addWidget(buttons, 3, 0, 1, 2);

    // Start from the font shown now; a size outside the list starts at the nearest allowed one.
    const QList<QListWidgetItem *> family = lstFamily->findItems(initial.family(), Qt::MatchFixedString);
    lstFamily->setCurrentRow(family.isEmpty() ? 0 : lstFamily->row(family.first()));
    int nearest = 0;
    for (int i = 1; i < sizes.size(); ++i) {
        if (std::abs(sizes[i] - initial.pointSizeF()) < std::abs(sizes[nearest] - initial.pointSizeF()))
            nearest = i;
    }
    lstSize->setCurrentRow(sizes.isEmpty() ? -1 : nearest);
    connect(lstFamily, &QListWidget::currentRowChanged, this, &FontChooser::showSample);
    connect(lstSize, &QListWidget::currentRowChanged, this, &FontChooser::showSample);
    connect(lstFamily, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(lstSize, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    showSample();
}

QFont FontChooser::chosenFont() const
{
    QFont font(lstFamily->currentItem() ? lstFamily->currentItem()->text() : QString());
    if (lstSize->currentItem())
        font.setPointSize(lstSize->currentItem()->text().toInt());
    return font;
}

void FontChooser::showSample()
{
    lblSample->setFont(chosenFont());
    buttons->button(QDialogButtonBox::Ok)->setEnabled(lstFamily->currentItem() && lstSize->currentItem());
}
