#include "kit/CButtonST.h"

#include <QBitmap>
#include <QDesktopServices>
#include <QPainter>

namespace {

QPixmap withTransparentColour(const QPixmap &pixmap, const QColor &transparent)
{
    if (!transparent.isValid() || pixmap.isNull())
        return pixmap;
    QPixmap masked = pixmap;
    masked.setMask(pixmap.createMaskFromColor(transparent, Qt::MaskInColor));
    return masked;
}

QPixmap paletteBitmap(bool hover)
{
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(hover ? QColor(60, 60, 60) : QColor(120, 120, 120), 1));
    painter.setBrush(QColor(240, 240, 240));
    painter.drawEllipse(1, 1, 18, 18);
    const QColor dots[] = { QColor(220, 40, 40), QColor(40, 160, 60), QColor(40, 90, 220) };
    const QPoint centres[] = { QPoint(7, 7), QPoint(13, 7), QPoint(10, 13) };
    painter.setPen(Qt::NoPen);
    for (int index = 0; index < 3; ++index) {
        painter.setBrush(hover ? dots[index].lighter(125) : dots[index]);
        painter.drawEllipse(centres[index], 3, 3);
    }
    return pixmap;
}

} // namespace

CButtonST::CButtonST(QWidget *parent)
    : QToolButton(parent)
{
    setAutoRaise(true);
    connect(this, &QToolButton::clicked, this, [this] {
        if (!m_url.isEmpty())
            QDesktopServices::openUrl(m_url);
    });
}

void CButtonST::setBitmaps(const QPixmap &normal, const QPixmap &hover, const QColor &transparent)
{
    m_normalBitmap = withTransparentColour(normal, transparent);
    m_hoverBitmap = withTransparentColour(hover.isNull() ? normal : hover, transparent);
    setIconSize(m_normalBitmap.size());
    showStateBitmap();
}

void CButtonST::setUrl(const QUrl &url)
{
    m_url = url;
    setCursor(url.isEmpty() ? Qt::ArrowCursor : Qt::PointingHandCursor);
}

void CButtonST::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    showStateBitmap();
    QToolButton::enterEvent(event);
}

void CButtonST::leaveEvent(QEvent *event)
{
    m_hovered = false;
    showStateBitmap();
    QToolButton::leaveEvent(event);
}

void CButtonST::showStateBitmap()
{
    const QPixmap &bitmap = m_hovered ? m_hoverBitmap : m_normalBitmap;
    if (!bitmap.isNull())
        setIcon(QIcon(bitmap));
}

CButtonST *CButtonST::createSkinButton(const QString &toolTip, QWidget *parent)
{
    auto *button = new CButtonST(parent);
    button->setBitmaps(paletteBitmap(false), paletteBitmap(true));
    button->setToolTip(toolTip);
    return button;
}
