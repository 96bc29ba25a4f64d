#include "shell/CButtonST.h"
#include "shell/CMyListCtrl.h"

#include <QApplication>
#include <QEnterEvent>

#include <gtest/gtest.h>

namespace {

TEST(CMyListCtrl, RowsFollowTheColumns)
{
    CMyListCtrl list;
    list.setColumns({{QStringLiteral("Time"), 80, Qt::AlignHCenter},
                     {QStringLiteral("Text"), 300, Qt::AlignLeft},
                     {QStringLiteral("Count"), 60, Qt::AlignRight}});
    EXPECT_EQ(list.columnCount(), 3);
    EXPECT_EQ(list.horizontalHeaderItem(1)->text(), QStringLiteral("Text"));
    EXPECT_EQ(list.columnWidth(1), 300);
    EXPECT_TRUE(list.alternatingRowColors());
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);

    EXPECT_EQ(list.appendRow({QStringLiteral("12:00:00"), QStringLiteral("a")}), 0);
    EXPECT_EQ(list.appendRow({QStringLiteral("12:00:01"), QStringLiteral("b"), QStringLiteral("2"),
                              QStringLiteral("dropped")}),
              1);
    EXPECT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.cellText(0, 2), QString());
    EXPECT_EQ(list.cellText(1, 2), QStringLiteral("2"));
    EXPECT_EQ(list.item(1, 2)->textAlignment(), int(Qt::AlignRight | Qt::AlignVCenter));
    EXPECT_EQ(list.item(1, 0)->textAlignment(), int(Qt::AlignHCenter | Qt::AlignVCenter));

    list.setCellText(0, 1, QStringLiteral("changed"));
    list.setCellText(5, 1, QStringLiteral("outside"));
    EXPECT_EQ(list.cellText(0, 1), QStringLiteral("changed"));
    EXPECT_EQ(list.cellText(5, 1), QString());
    EXPECT_FALSE(list.item(0, 1)->flags() & Qt::ItemIsEditable && list.editTriggers());
}

TEST(CButtonST, HoverSwitchesTheBitmap)
{
    QPixmap normal(8, 8);
    normal.fill(Qt::red);
    QPixmap hover(8, 8);
    hover.fill(Qt::blue);
    CButtonST button;
    button.setBitmaps(normal, hover);
    const qint64 normalKey = button.icon().cacheKey();

    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.isHovered());
    EXPECT_NE(button.icon().cacheKey(), normalKey);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.isHovered());
}

TEST(CButtonST, TransparentColourIsMasked)
{
    QPixmap bitmap(4, 4);
    bitmap.fill(Qt::magenta);
    CButtonST button;
    button.setBitmaps(bitmap, QPixmap(), Qt::magenta);
    const QImage shown = button.icon().pixmap(QSize(4, 4)).toImage();
    EXPECT_EQ(qAlpha(shown.pixel(1, 1)), 0);
}

TEST(CButtonST, SkinButtonCarriesItsToolTip)
{
    CButtonST *button = CButtonST::createSkinButton(QStringLiteral("Skin"), nullptr);
    EXPECT_EQ(button->toolTip(), QStringLiteral("Skin"));
    EXPECT_FALSE(button->icon().isNull());
    EXPECT_TRUE(button->text().isEmpty());
    delete button;
}

TEST(CButtonST, UrlShowsAPointingCursor)
{
    CButtonST button;
    button.setUrl(QUrl(QStringLiteral("https://example.com")));
    EXPECT_EQ(button.cursor().shape(), Qt::PointingHandCursor);
    button.setUrl(QUrl());
    EXPECT_EQ(button.cursor().shape(), Qt::ArrowCursor);
}

} // namespace
