// The data grid over a client dataset: what a tap, a title click and a key do.

#include <QDialog>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "dataset/ClientDataSet.h"
#include "platform/Controls.h"
#include "platform/Platform.h"

using namespace platform;

namespace {

struct GridFixture : ::testing::Test {
    QDialog form;
    dataset::ClientDataSet ds;
    TDBSortGrid* grid = nullptr;

    void SetUp() override {
        dataset::FieldDefs defs;
        defs << dataset::FieldDef::text(QStringLiteral("CDFILIAL"), 4)
             << dataset::FieldDef::text(QStringLiteral("IDCHECK"), 1)
             << dataset::FieldDef::text(QStringLiteral("CDIDCONSUMID"), 21)
             << dataset::FieldDef::text(QStringLiteral("NMCONSUMIDOR"), 50);
        defs[0].visible = false;
        defs[1].displayLabel = QStringLiteral("Presença");
        defs[3].displayLabel = QStringLiteral("Nome do Consumidor");
        ds.setFieldDefs(defs);
        ds.createDataSet();
        const char* names[] = {"Ana", "Nelson", "Edu", "Pedro", "Ícaro", "Gabi"};
        for (int i = 0; i < 6; ++i) {
            ds.append();
            ds.fieldByName(QStringLiteral("IDCHECK")).setAsString(QStringLiteral("N"));
            ds.fieldByName(QStringLiteral("CDIDCONSUMID")).setAsString(QString::number(1000 + i));
            ds.fieldByName(QStringLiteral("NMCONSUMIDOR")).setAsString(QString::fromUtf8(names[i]));
            ds.post();
        }
        ds.first();
        form.resize(500, 400);
        grid = new TDBSortGrid(&form);
        grid->setObjectName(QStringLiteral("dbsPresenca"));
        grid->setGeometry(0, 0, 500, 400);
        grid->setDataSet(&ds);
        grid->setColumnWidths({62, 150, 250});
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        grid->setFocus();
    }

    QPoint cellCentre(int row, int column) {
        return grid->visualRect(grid->model()->index(row, column)).center();
    }
};

}  // namespace

TEST_F(GridFixture, ShowsTheVisibleFieldsAsAReadOnlySingleCellGrid) {
    ASSERT_EQ(grid->model()->columnCount(), 3);
    EXPECT_EQ(grid->columnFieldName(0), QStringLiteral("IDCHECK"));
    EXPECT_EQ(grid->columnFieldName(2), QStringLiteral("NMCONSUMIDOR"));
    EXPECT_TRUE(grid->columnFieldName(3).isEmpty());
    EXPECT_EQ(grid->columnWidth(1), 150);
    EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Presença"));
    EXPECT_FALSE(grid->verticalHeader()->isVisible());
    EXPECT_FALSE(grid->showGrid());
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectItems);
    EXPECT_EQ(grid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    EXPECT_GE(grid->rowHeight(0), 30);  // comfortable to tap

    // Double click and typing never edit.
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(1, 2));
    QTest::keyClick(grid, Qt::Key_F2);
    EXPECT_EQ(grid->indexWidget(grid->currentIndex()), nullptr);
    EXPECT_EQ(ds.displayTextAt(1, ds.fieldIndex(QStringLiteral("NMCONSUMIDOR"))),
              QStringLiteral("Nelson"));
    form.grab().save(QStringLiteral("/tmp/platform_grid.png"));
}

TEST_F(GridFixture, CellClickComesWithTheClickedRowAlreadyCurrent) {
    QList<QPair<int, int>> seen;  // column, current record
    QObject::connect(grid, &TDBSortGrid::cellClick, grid, [&](int column) {
        seen.append({column, ds.recNo()});
    });
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(3, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(1, 2));
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0], qMakePair(0, 4));
    EXPECT_EQ(seen[1], qMakePair(2, 2));
    EXPECT_EQ(grid->selectionModel()->selectedIndexes().size(), 1);
}

TEST_F(GridFixture, TitleClickNamesTheColumn) {
    QSignalSpy titles(grid, &TDBSortGrid::titleClick);
    QHeaderView* h = grid->horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(2) + 20, h->height() / 2));
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(0) + 20, h->height() / 2));
    ASSERT_EQ(titles.count(), 2);
    EXPECT_EQ(titles[0][0].toInt(), 2);
    EXPECT_EQ(titles[1][0].toInt(), 0);
    EXPECT_LE(grid->selectionModel()->selectedIndexes().size(), 1);  // never a whole column
}

TEST_F(GridFixture, KeyDownComesFirstWithVirtualCodesWhateverTheModifiers) {
    QList<QPair<int, int>> seen;  // key, grid row when the handler ran
    QObject::connect(grid, &TDBSortGrid::keyDown, grid, [&](int key, Qt::KeyboardModifiers) {
        if (key >= 16 && key <= 18) return;  // the modifier keys themselves come too
        seen.append({key, grid->currentIndex().row()});
    });
    QSignalSpy keys(grid, &TDBSortGrid::keyDown);
    QTest::keyClick(grid, Qt::Key_Down);
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0], qMakePair(40, 0));  // before the grid moved
    EXPECT_EQ(grid->currentIndex().row(), 1);
    EXPECT_EQ(ds.recNo(), 2);

    QTest::keyClick(grid, Qt::Key_E, Qt::ShiftModifier);
    QTest::keyClick(grid, Qt::Key_E, Qt::ControlModifier);
    QTest::keyClick(grid, 'e');
    QTest::keyClick(grid, Qt::Key_F9);
    QTest::keyClick(grid, Qt::Key_Space);
    ASSERT_EQ(seen.size(), 6);
    EXPECT_EQ(seen[1].first, 69);
    EXPECT_EQ(seen[2].first, 69);
    EXPECT_EQ(seen[3].first, 69);
    EXPECT_EQ(seen[4].first, 120);
    EXPECT_EQ(seen[5].first, 32);
    EXPECT_EQ(keys[2][0].toInt(), 69);
    EXPECT_EQ(keys[2][1].value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
    EXPECT_EQ(grid->currentIndex().row(), 1);  // letters are shortcuts, not a search

    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_EQ(seen.last().first, 9);
    EXPECT_EQ(grid->currentIndex().column(), 1);
}

TEST_F(GridFixture, EscapeStaysWithTheGridAndTheScreenDecides) {
    QSignalSpy keys(grid, &TDBSortGrid::keyDown);
    QTest::keyClick(grid, Qt::Key_Escape);
    EXPECT_EQ(keys.count(), 1);
    EXPECT_TRUE(form.isVisible());
}

TEST_F(GridFixture, CurrentRecordAndCurrentCellFollowEachOther) {
    ds.moveTo(5);
    EXPECT_EQ(grid->currentIndex().row(), 4);
    grid->setCurrentIndex(grid->model()->index(2, 1));
    EXPECT_EQ(ds.recNo(), 3);
    ds.setIndexFieldNames(QStringLiteral("NMCONSUMIDOR"));
    EXPECT_EQ(grid->currentIndex().row(), ds.recNo() - 1);
    ds.setFiltered(false);
    ds.setFilter(QStringLiteral("IDCHECK = 'S'"));
    ds.setFiltered(true);
    EXPECT_EQ(grid->model()->rowCount(), 0);
    EXPECT_FALSE(grid->currentIndex().isValid());
}

TEST_F(GridFixture, DrawCellRunsAfterTheDefaultPaintingWithTheCellsBrush) {
    struct Cell {
        int row, column;
        QColor brush;
        QRect rect;
    };
    QList<Cell> cells;
    grid->OnDrawColumnCell = [&](QPainter& p, const QRect& r, int column, int row, QStyle::State) {
        cells.append({row, column, p.brush().color(), r});
        if (column == 0) p.fillRect(r, Qt::magenta);
    };
    grid->setCurrentIndex(grid->model()->index(1, 0));
    const QImage img = grid->viewport()->grab().toImage();
    img.save(QStringLiteral("/tmp/platform_grid_draw.png"));
    ASSERT_FALSE(cells.isEmpty());
    const QColor highlight = grid->palette().color(QPalette::Active, QPalette::Highlight);
    const QColor base = grid->palette().color(QPalette::Active, QPalette::Base);
    for (const Cell& c : cells) {
        if (c.row == 1 && c.column == 0)
            EXPECT_TRUE(c.brush == highlight ||
                        c.brush == grid->palette().color(QPalette::Inactive, QPalette::Highlight));
        else
            EXPECT_EQ(c.brush, base);
    }
    const QRect first = grid->visualRect(grid->model()->index(0, 0));
    EXPECT_EQ(img.pixelColor(first.center()), QColor(Qt::magenta));
    EXPECT_NE(img.pixelColor(first.left() + 5, first.bottom()),
              QColor(Qt::magenta));  // row line kept

    // A handler that throws does not take the grid down.
    grid->OnDrawColumnCell = [](QPainter&, const QRect&, int, int, QStyle::State) {
        throw std::runtime_error("desenho");
    };
    platform::ErrorDisplay previous = platform::SetErrorDisplay([](const QString&) {});
    grid->viewport()->grab();
    platform::SetErrorDisplay(previous);
}

TEST_F(GridFixture, AWalkOverTheDataSetEndsWithTheCurrentRowInView) {
    for (int i = 0; i < 200; ++i) {
        ds.append();
        ds.fieldByName(QStringLiteral("IDCHECK")).setAsString(QStringLiteral("N"));
        ds.post();
    }
    ds.first();
    while (!ds.eof()) {
        ds.edit();
        ds.fieldByName(QStringLiteral("IDCHECK")).setAsString(QStringLiteral("S"));
        ds.post();
        ds.next();
    }
    EXPECT_EQ(grid->currentIndex().row(), ds.recNo() - 1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(grid->viewport()->rect().intersects(grid->visualRect(grid->currentIndex())));
}

TEST_F(GridFixture, ADragScrollsTheListWithoutCountingAsATap) {
    for (int i = 0; i < 60; ++i) {
        ds.append();
        ds.fieldByName(QStringLiteral("NMCONSUMIDOR"))
            .setAsString(QStringLiteral("Consumidor %1").arg(i));
        ds.post();
    }
    ds.first();
    QSignalSpy taps(grid, &TDBSortGrid::cellClick);
    QWidget* vp = grid->viewport();
    QPoint p = cellCentre(8, 0);
    QTest::mousePress(vp, Qt::LeftButton, {}, p);
    for (int i = 0; i < 20; ++i) {
        p.ry() -= 12;
        QMouseEvent move(QEvent::MouseMove, p, vp->mapToGlobal(p), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(vp, &move);
        QTest::qWait(10);
    }
    QTest::mouseRelease(vp, Qt::LeftButton, {}, p);
    QTest::qWait(300);
    EXPECT_GT(grid->verticalScrollBar()->value(), 0);
    EXPECT_EQ(taps.count(), 0);
}
