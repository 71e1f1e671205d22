#include "ElidingLabel.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QTest>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

// Counts the layout requests a widget receives.
class LayoutRequests : public QObject
{
public:
    int Count = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        Count += event->type() == QEvent::LayoutRequest;
        return false;
    }
};

} // namespace

TEST(ElidingLabel, NewTextsAreHeldAtOnceAndNeverLayTheWindowOut)
{
    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    auto *summary = new QLabel(QStringLiteral("3 folders, 12 files"), &window);
    auto *state = new ElidingLabel(QStringLiteral("Not connected"), &window);
    state->setMinimumText(QStringLiteral("Connected"));
    layout->addWidget(summary, 1);
    layout->addWidget(state, 1);
    window.resize(400, 40);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::processEvents();
    const int width = state->width();

    LayoutRequests requests;
    window.installEventFilter(&requests);
    for (int i = 0; i < 50; ++i) {
        const QString text = QStringLiteral("226 Transfer complete. File %1").arg(i);
        state->setFullText(text);
        EXPECT_EQ(state->text(), text); // read at once, as a step sets it
        EXPECT_EQ(state->toolTip(), text);
        QApplication::processEvents();
    }
    const QString longText = QStringLiteral("Opening /") + QStringLiteral("a-rather-long-folder-name/").repeated(20);
    state->setText(longText);
    QApplication::processEvents();
    EXPECT_EQ(requests.Count, 0);
    EXPECT_EQ(state->width(), width);
    EXPECT_TRUE(state->isElided());
    EXPECT_EQ(state->toolTip(), longText);
    window.removeEventFilter(&requests);
}

// A tool tip reads a text that looks like markup as markup; the label's tool
// tip shows its text as written, whatever a server put in it.
TEST(ElidingLabel, TheToolTipShowsTheTextAsWritten)
{
    const QStringList texts{QStringLiteral("Searching: /pub/data"), QStringLiteral("Searching: /<b>deep</b> & co"),
                            QStringLiteral("<img src=x>  two  blanks\nand a line")};
    ElidingLabel label;
    for (const QString &text : texts) {
        label.setText(text);
        // What the tool tip window makes of it.
        QLabel tip(label.toolTip());
        QTextDocument shown;
        if (tip.textFormat() == Qt::AutoText && Qt::mightBeRichText(tip.text()))
            shown.setHtml(tip.text());
        else
            shown.setPlainText(tip.text());
        EXPECT_EQ(shown.toPlainText(), text);
    }
}
