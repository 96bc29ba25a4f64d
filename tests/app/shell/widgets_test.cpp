#include "kit/CButtonST.h"
#include "kit/CMyListCtrl.h"
#include "kit/CTextListModel.h"

#include <QApplication>
#include <QEnterEvent>

#include <gtest/gtest.h>

namespace {

TEST(CTextListModel, RowsFollowTheColumnsAndOnlyTheNewestAreKept) {
    CTextListModel model({{QStringLiteral("Time"), Qt::AlignHCenter},
                          {QStringLiteral("Text"), Qt::AlignLeft},
                          {QStringLiteral("Count"), Qt::AlignRight}},
                         4);
    CMyListCtrl view;
    view.setModel(&model);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Text"));
    EXPECT_TRUE(view.alternatingRowColors());
    EXPECT_EQ(view.selectionBehavior(), QAbstractItemView::SelectRows);

    model.appendRows({{QStringLiteral("t0"), QStringLiteral("a")},
                      {QStringLiteral("t1"), QStringLiteral("b"), QStringLiteral("2"),
                       QStringLiteral("dropped")}});
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.cellText(0, 2), QString());
    EXPECT_EQ(model.cellText(1, 2), QStringLiteral("2"));
    EXPECT_EQ(model.data(model.index(1, 2), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignRight | Qt::AlignVCenter);
    model.setCellText(0, 1, QStringLiteral("changed"));
    model.setCellText(5, 1, QStringLiteral("outside"));
    EXPECT_EQ(model.cellText(0, 1), QStringLiteral("changed"));
    EXPECT_EQ(model.cellText(5, 1), QString());

    // Three more than fit: the oldest go, in one batch or across batches alike.
    model.appendRows({{QStringLiteral("t2")}, {QStringLiteral("t3")}, {QStringLiteral("t4")}});
    model.appendRows({{QStringLiteral("t5")},
                      {QStringLiteral("t6")},
                      {QStringLiteral("t7")},
                      {QStringLiteral("t8")},
                      {QStringLiteral("t9")}});
    ASSERT_EQ(model.rowCount(), 4);
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(model.cellText(row, 0), QStringLiteral("t%1").arg(row + 6));
    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(CButtonST, HoverSwitchesTheBitmap) {
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

TEST(CButtonST, TransparentColourIsMasked) {
    QPixmap bitmap(4, 4);
    bitmap.fill(Qt::magenta);
    CButtonST button;
    button.setBitmaps(bitmap, QPixmap(), Qt::magenta);
    const QImage shown = button.icon().pixmap(QSize(4, 4)).toImage();
    EXPECT_EQ(qAlpha(shown.pixel(1, 1)), 0);
}

TEST(CButtonST, SkinButtonCarriesItsToolTip) {
    CButtonST *button = CButtonST::createSkinButton(QStringLiteral("Skin"), nullptr);
    EXPECT_EQ(button->toolTip(), QStringLiteral("Skin"));
    EXPECT_FALSE(button->icon().isNull());
    EXPECT_TRUE(button->text().isEmpty());
    delete button;
}

TEST(CButtonST, UrlShowsAPointingCursor) {
    CButtonST button;
    button.setUrl(QUrl(QStringLiteral("https://example.com")));
    EXPECT_EQ(button.cursor().shape(), Qt::PointingHandCursor);
    button.setUrl(QUrl());
    EXPECT_EQ(button.cursor().shape(), Qt::ArrowCursor);
}

}  // namespace
