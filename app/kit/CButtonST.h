#pragma once

#include <QPixmap>
#include <QToolButton>
#include <QUrl>

// A flat button that can show a bitmap for its normal and its hover state (one colour of the
// bitmaps drawn transparent) and can open a web address when clicked. Tool tip, cursor, toggle
// and popup menu come from QToolButton itself.
class CButtonST : public QToolButton {
    Q_OBJECT

public:
    explicit CButtonST(QWidget *parent = nullptr);

    // An invalid transparent colour keeps the bitmaps as they are.
    void setBitmaps(
        const QPixmap &normal, const QPixmap &hover, const QColor &transparent = QColor());
    // Clicking opens this address in the desktop's browser; an empty address opens nothing.
    void setUrl(const QUrl &url);
    bool isHovered() const { return m_hovered; }

    // The main window's skin button: a small palette bitmap and the given tool tip.
    static CButtonST *createSkinButton(const QString &toolTip, QWidget *parent);

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void showStateBitmap();

    QPixmap m_normalBitmap;
    QPixmap m_hoverBitmap;
    QUrl m_url;
    bool m_hovered = false;
};
