// SPDX-License-Identifier: MIT
// CKrCommon::calBlock: the block grid of a survey area.
#include <CKrCommon.h>

#include <QTest>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

using Grid = std::vector<std::vector<float>>;
using Coords = std::vector<float>;
Q_DECLARE_METATYPE(Coords)

class BlockGridTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void grid_data()
    {
        QTest::addColumn<float>("startX");
        QTest::addColumn<float>("startY");
        QTest::addColumn<float>("width");
        QTest::addColumn<float>("height");
        QTest::addColumn<Coords>("xs");
        QTest::addColumn<Coords>("ys");

        // Block size 30 throughout; the grid lines lie on multiples of it.
        QTest::newRow("start_on_grid_line") << 0.f << 0.f << 100.f << 30.f << Coords{0, 30, 60, 90} << Coords{0};
        QTest::newRow("start_inside_cell_adds_column")
            << 10.f << 0.f << 100.f << 30.f << Coords{0, 30, 60, 90, 120} << Coords{0};
        QTest::newRow("area_ends_on_grid_line") << 60.f << 0.f << 60.f << 30.f << Coords{60, 90} << Coords{0};
        QTest::newRow("zero_width_on_grid_line") << 0.f << 0.f << 0.f << 30.f << Coords{} << Coords{0};
        QTest::newRow("zero_width_inside_cell") << 10.f << 0.f << 0.f << 30.f << Coords{0} << Coords{0};
        QTest::newRow("zero_height_on_grid_line") << 0.f << 0.f << 60.f << 0.f << Coords{0, 30} << Coords{};
        QTest::newRow("negative_height") << 0.f << 0.f << 60.f << -60.f << Coords{0, 30} << Coords{};
        QTest::newRow("remainder_below_threshold") << 5e-7f << 0.f << 60.f << 30.f << Coords{0, 30} << Coords{0};
        QTest::newRow("rows_in_increasing_y") << 15.f << 45.f << 30.f << 50.f << Coords{0, 30} << Coords{30, 60, 90};
        // Negative starts: the first grid line is the one at or below the start.
        QTest::newRow("negative_start_inside_cell")
            << -10.f << 0.f << 100.f << 30.f << Coords{-30, 0, 30, 60, 90} << Coords{0};
        QTest::newRow("negative_start_two_cells_left") << -40.f << 0.f << 30.f << 30.f << Coords{-60, -30} << Coords{0};
        QTest::newRow("negative_start_on_grid_line") << -30.f << 0.f << 60.f << 30.f << Coords{-30, 0} << Coords{0};
        QTest::newRow("negative_start_y") << 0.f << -10.f << 30.f << 20.f << Coords{0} << Coords{-30, 0};
    }

    void grid()
    {
        QFETCH(float, startX);
        QFETCH(float, startY);
        QFETCH(float, width);
        QFETCH(float, height);
        QFETCH(Coords, xs);
        QFETCH(Coords, ys);

        // Rows already in the vector stay in front of the new ones.
        Grid rows{{-1.f, -2.f}};
        Grid expected = rows;
        for (float y : ys) {
            expected.emplace_back();
            for (float x : xs)
                expected.back().insert(expected.back().end(), {x, y});
        }
        CKrCommon::GetSingleTon().calBlock(rows, startX, startY, width, height, 30.f, 30.f);
        QVERIFY(rows == expected);
    }

    // Every grid covers its area and its blocks tile without gaps, also for
    // areas that start left of the origin.
    void gridCoversArea_data()
    {
        QTest::addColumn<float>("start");
        QTest::addColumn<float>("extent");
        QTest::addColumn<float>("blockSize");
        for (float s : {-1000.5f, -250.f, -31.f, -30.f, -29.5f, -0.25f, 0.f, 0.25f, 29.f, 512.75f})
            for (float e : {0.5f, 30.f, 61.f, 999.f})
                for (float b : {0.5f, 30.f, 128.f})
                    QTest::addRow("start_%g_extent_%g_block_%g", double(s), double(e), double(b)) << s << e << b;
    }

    void gridCoversArea()
    {
        QFETCH(float, start);
        QFETCH(float, extent);
        QFETCH(float, blockSize);

        Grid rows;
        CKrCommon::GetSingleTon().calBlock(rows, start, 0.f, extent, 1.f, blockSize, 1e6f);
        QCOMPARE(rows.size(), std::size_t(1));
        const Coords &row = rows.front();
        QVERIFY(row.size() >= 2);
        QVERIFY(row.front() <= start);
        QVERIFY(double(row[row.size() - 2]) + blockSize >= double(start) + extent - 1e-3);
        QCOMPARE(std::fmod(double(row.front()), double(blockSize)), 0.0);
        for (std::size_t i = 2; i < row.size(); i += 2)
            QCOMPARE(row[i] - row[i - 2], blockSize);
    }

    void unsizableGridThrowsAndAppendsNothing_data()
    {
        QTest::addColumn<float>("width");
        QTest::addColumn<float>("height");
        QTest::addColumn<float>("blockWidth");
        QTest::addColumn<float>("blockHeight");
        const float inf = std::numeric_limits<float>::infinity();
        QTest::newRow("negative_width") << -60.f << 30.f << 30.f << 30.f;
        QTest::newRow("negative_width_zero_height") << -60.f << 0.f << 30.f << 30.f;
        QTest::newRow("zero_block_width") << 60.f << 30.f << 0.f << 30.f;
        QTest::newRow("nan_width") << std::numeric_limits<float>::quiet_NaN() << 30.f << 30.f << 30.f;
        QTest::newRow("infinite_width") << inf << 30.f << 30.f << 30.f;
        QTest::newRow("count_beyond_32_bits") << 1e12f << 30.f << 1.f << 30.f;
        QTest::newRow("infinite_block_width") << 60.f << 30.f << inf << 30.f;
        QTest::newRow("minus_infinite_block_width") << 60.f << 30.f << -inf << 30.f;
        QTest::newRow("infinite_block_height") << 60.f << 30.f << 30.f << inf;
        QTest::newRow("minus_infinite_block_height") << 60.f << 30.f << 30.f << -inf;
    }

    void unsizableGridThrowsAndAppendsNothing()
    {
        QFETCH(float, width);
        QFETCH(float, height);
        QFETCH(float, blockWidth);
        QFETCH(float, blockHeight);
        Grid rows{{1.f, 2.f}};
        QVERIFY_EXCEPTION_THROWN(CKrCommon::GetSingleTon().calBlock(rows, 0, 0, width, height, blockWidth, blockHeight),
                                 std::length_error);
        QCOMPARE(rows.size(), std::size_t(1));
    }
};

QTEST_GUILESS_MAIN(BlockGridTest)

#include "blockgridtest.moc"
