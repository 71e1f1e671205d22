#pragma once

#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QSize>
#include <QWidget>

#include <vector>

// Per-window size limits, the hover colour of picture boxes, and the
// desktop work area. One program-wide table set; a slot freed by an unhook
// is reused before the table grows.
class ModMinMax : public QObject
{
    Q_OBJECT
public:
    struct WorkAreaRect {
        int left = 0, top = 0, right = 0, bottom = 0; // twips
    };

    explicit ModMinMax(QObject *parent = nullptr);
    static ModMinMax &Program();

    // Empties the size-limit table.
    void InitMinMaxInfo();
    // Limits the window's size (pixels). The maximum is applied only where it
    // is smaller than the screen's available area, so a window can always
    // be maximised on the screen it is on.
    void HookMinMax(QWidget *window, int minWidth, int minHeight, int maxWidth, int maxHeight);
    // Frees the window's slot and gives back the limits it had before.
    void UnhookMinMax(QWidget *window);

    // The box takes the 3-D light colour while the mouse is over it and the
    // button-face colour when it leaves.
    void HookHover(QWidget *box);
    void UnhookHover(QWidget *box);
    bool IsHovered(const QWidget *box) const;

    // Reads the primary screen's available area, kept in twips.
    void SetWorkArea();
    WorkAreaRect WorkArea() const { return m_workArea; }

    int MinMaxSlotCount() const { return static_cast<int>(m_limits.size()); }
    int HoverSlotCount() const { return static_cast<int>(m_hovers.size()); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct SizeMin {
        QPointer<QWidget> window;
        int minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0; // maxHeight: hover state in the hover table
        bool free = true;
        QSize previousMinimum, previousMaximum;
        bool previousAutoFill = false;
    };
    static SizeMin &takeSlot(std::vector<SizeMin> &table);
    static SizeMin *findSlot(std::vector<SizeMin> &table, const QObject *window);
    void setHover(SizeMin &slot, bool over);

    std::vector<SizeMin> m_limits;
    std::vector<SizeMin> m_hovers;
    WorkAreaRect m_workArea;
};
