#pragma once

#include "LineWidthBound.h"
#include "LogEntry.h"
#include "OleColor.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QVector>

#include <array>

class PropertyBag;
class QAction;
class QLabel;
class QMenu;
class QToolButton;

// The log pane: a custom-drawn list of coloured, styled entries with bullets,
// wrapped lines, a selection, a size limit and log files. Only the lines in
// view are drawn. Entries live in memory only; the file writers are the way out.
//
// Geometry follows the pane's design units (twips, 15 to a pixel) where the
// host sees it (mouse event coordinates); inside, everything is in pixels.
class Logger : public QAbstractScrollArea
{
    Q_OBJECT

public:
    static constexpr int kMaxTotalLines = 32700;
    static constexpr int kDefaultMaxLogs = 32767;
    static constexpr int kDefaultWordWrapLength = 255;

    explicit Logger(QWidget *parent = nullptr);
    ~Logger() override;

    // --- entries and log files ---
    bool AddLog(const QString &strLog, int ColIndex, int fAttrib = 0);
    int GetCount() const { return static_cast<int>(m_entries.size()); }
    void ClearLogs();
    void DumpLogs(const QString &FilePath);
    void SaveLogs();
    void LoadLogs(const QString &FilePath, bool bAppend, bool bMasg);
    QString getLog(int index) const;
    int CurrentLogIndex() const;
    QString CurrentLog() const;
    void About() {}

    // --- drawing ---
    int getMaxVisLines() const;

    // --- look and feel ---
    OleColor BackColor() const { return m_backColor; }
    void SetBackColor(OleColor color);
    int BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(int style);
    // Reading the font also refits the visible-line count and redraws.
    QFont Font();
    void SetFont(const QFont &font);
    bool UseBullet() const { return m_useBullet; }
    void SetUseBullet(bool use);
    OleColor LogColors(int StatCol) const;
    void SetLogColors(int StatCol, OleColor color);
    QImage BulletImage(int logType) const;
    void SetBulletImage(int logType, const QImage &picture);
    QString InfoToolTip() const;
    void SetInfoToolTip(const QString &text);
    int Appearance() const { return m_appearance; }
    void SetAppearance(int appearance);
    int MaxLogs() const { return m_maxLogs; }
    void SetMaxLogs(int value);
    int WordWrapLength() const { return m_wordWrapLength; }
    void SetWordWrapLength(int value);
    int TraceBorderWidth() const { return m_traceBorderWidth; }
    void SetTraceBorderWidth(int value);
    bool Enabled() const { return isEnabled(); }
    void SetEnabled(bool enabled);
    int LargeChange() const;
    void SetLargeChange(int value);
    int SmallChange() const;
    void SetSmallChange(int value);
    QImage MouseIcon() const { return m_mouseIcon; }
    void SetMouseIcon(const QImage &icon);
    int MousePointer() const { return m_mousePointer; }
    void SetMousePointer(int pointer);
    QImage Picture() const { return m_picture; }
    void SetPicture(const QImage &picture);
    OleColor SelectionColor() const { return m_selectionColor; }
    void SetSelectionColor(OleColor color);
    int PictureStyle() const { return m_pictureStyle; }
    void SetPictureStyle(int style);
    OleColor CornerBackColor() const { return m_cornerBackColor; }
    void SetCornerBackColor(OleColor color);
    void setImage();

    // --- saved property set ---
    void ReadProperties(const PropertyBag &bag);
    void WriteProperties(PropertyBag &bag) const;

    // --- state the host and tests may inspect ---
    const LogEntry &entry(int index) const { return m_entries.at(index - 1); }
    int totalLines() const { return m_totalLines; }
    int selectedCount() const { return m_selectedCount; }
    int currentLine() const { return m_currentLine; }
    int visibleLines() const { return m_visibleLines; }
    double lineHeight() const { return m_lineHeight; }
    QMenu *popupMenu() const { return m_menu; }
    QAction *copyAction() const { return m_mnuCopy; }
    QAction *saveAction() const { return m_mnuSaveLog; }
    QAction *clearAction() const { return m_mnuClearLog; }
    QToolButton *cornerButton() const { return m_cornerButton; }
    // What the surface shows now.
    const QImage &surface() const
    {
        const_cast<Logger *>(this)->drawPending();
        return m_pad;
    }
    // Puts the selected entries on the clipboard (the menu's Copy command).
    void copySelection();

Q_SIGNALS:
    void Click();
    void DblClick();
    // Qt key codes; Shift holds 1 Shift, 2 Ctrl, 4 Alt. The pane acts on the
    // values as the handler leaves them.
    void KeyDown(int &KeyCode, int &Shift);
    void KeyPress(int &KeyAscii);
    void KeyUp(int &KeyCode, int &Shift);
    // Button 1 left, 2 right, 4 middle; X and Y in twips on the surface.
    void MouseDown(int &Button, int &Shift, float &X, float &Y);
    void MouseMove(int &Button, int &Shift, float &X, float &Y);
    void MouseUp(int &Button, int &Shift, float &X, float &Y);
    // 0 the vertical bar, 1 the horizontal bar.
    void Scroll(int ScrollMode);
    // Raised when an entry does not fit; answer true to clear the log first.
    // Connect directly: the answer is read when the handler returns.
    void BufferFull(bool &bClearLogs);
    // A property of the saved set changed; the host saves the set again.
    void PropertyChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    // entries
    bool askToClear();
    void saveLogsInt(const QString &fileName, const QString &header, bool show);
    QByteArray logFileBody() const;
    int LineToLog(int line, int *lineInEntry = nullptr) const;
    void scrollToEnd();
    void runSaveDialog();

    // drawing and input
    // The pane's geometry is given in twips; this is the one conversion.
    static constexpr double px(int twips) { return static_cast<double>(twips) / kTwipsPerPixel; }
    double horizontalOffset() const; // pixels the surface is scrolled to the left
    QFont ambientFont() const;
    void DrawALL();
    // New lines are drawn when the pane is next painted: a busy session logs
    // lines by the thousand, and its window paints at most once a frame.
    void scheduleDraw();
    void drawPending();
    void drawEntryLines(QPainter &painter, int firstEntry, int startLine);
    void CheckPAD(double neededWidth);
    void layoutPane();
    void prepareSurface();
    void measureLineHeight();
    QFont styledFont(quint8 styleFlags) const;
    int lineAt(double yPixels) const;
    void selectLine(int line, bool addToSelection);
    void showMenuAt(const QPoint &globalPos);
    void enableMenuItems();
    int keyShiftBits(Qt::KeyboardModifiers modifiers) const;
    struct MouseArgs {
        int button;
        int shift;
        float x; // twips on the whole pad
        float y;
    };
    MouseArgs mouseArgs(const QMouseEvent *event, Qt::MouseButtons buttons) const;

    // pictures
    void SetPicture();
    void clearSurface();
    void Orig_Picture();
    void paintStretched(QPainter &painter);
    void paintTiled(QPainter &painter);
    void applyMouseCursor();
    void applyBackColor();
    void applyBorder();
    void markChanged();
    void readProperties(const PropertyBag &bag);

    QVector<LogEntry> m_entries;
    QVector<int> m_lineEnds; // running sum of LineCount, one per entry
    int m_totalLines = 0;
    int m_currentLine = 0;
    bool m_suspendRedraw = false;
    int m_selectedCount = 0;
    int m_anchorLine = 0;
    int m_firstEntry = 0;
    int m_visibleLines = 0;
    double m_lineHeight = 0; // pixels
    bool m_scrollSync = false;
    bool m_drawing = false;
    bool m_drawPending = false; // lines came since the surface was drawn
    bool m_painting = false;    // inside paintEvent: the surface drawn now is shown now
    bool m_readingProperties = false;

    double m_padWidth = 0; // pixels; grows past the viewport for long lines
    std::array<LineWidthBound, 24> m_widthBounds; // one per style of entry
    QImage m_pad;          // what the surface shows
    QImage m_ownPicture;   // the surface's own picture: comes back after every clear

    // properties
    std::array<OleColor, 8> m_palette{};
    std::array<QImage, 8> m_bullets;
    OleColor m_backColor = OleColors::ButtonFace;
    OleColor m_selectionColor = OleColors::Highlight;
    OleColor m_cornerBackColor = OleColors::ButtonFace;
    int m_borderStyle = 0;
    int m_appearance = 1;
    QFont m_font;
    bool m_useBullet = true;
    int m_maxLogs = kDefaultMaxLogs;
    int m_wordWrapLength = kDefaultWordWrapLength;
    int m_traceBorderWidth = 1;
    QImage m_mouseIcon;
    int m_mousePointer = 0;
    QImage m_picture;
    int m_pictureStyle = 0;

    QMenu *m_menu = nullptr;
    QAction *m_mnuCopy = nullptr;
    QAction *m_mnuSaveLog = nullptr;
    QAction *m_mnuClearLog = nullptr;
    QToolButton *m_cornerButton = nullptr;
    QPointer<QLabel> m_img; // keeps the background picture at its natural size
};
