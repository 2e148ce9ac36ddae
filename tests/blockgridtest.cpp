// SPDX-License-Identifier: MIT
// CKrCommon::calBlock: the block grid of a survey area.
#include <CKrCommon.h>

#include <QTest>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

using Grid = std::vector<std::vector<float>>;
Q_DECLARE_METATYPE(std::vector<float>)

namespace {

// The grid whose blocks have the given column and row origins.
Grid gridOf(const std::vector<float> &xs, const std::vector<float> &ys)
{
    Grid rows;
    for (float y : ys) {
        std::vector<float> row;
        for (float x : xs) {
            row.push_back(x);
            row.push_back(y);
        }
        rows.push_back(row);
    }
    return rows;
}

QByteArray describe(const Grid &rows)
{
    QByteArray text;
    for (const auto &row : rows) {
        text += '[';
        for (float v : row)
            text += QByteArray::number(double(v), 'g', 9) + ' ';
        text += "] ";
    }
    return text;
}

} // namespace

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
        QTest::addColumn<float>("blockSize");
        QTest::addColumn<std::vector<float>>("xs");
        QTest::addColumn<std::vector<float>>("ys");

        using V = std::vector<float>;
        QTest::newRow("start_on_grid_line")
            << 0.f << 0.f << 100.f << 30.f << 30.f << V{0, 30, 60, 90} << V{0};
        QTest::newRow("start_inside_cell_adds_column")
            << 10.f << 0.f << 100.f << 30.f << 30.f << V{0, 30, 60, 90, 120} << V{0};
        QTest::newRow("area_ends_on_grid_line")
            << 60.f << 0.f << 60.f << 30.f << 30.f << V{60, 90} << V{0};
        QTest::newRow("zero_width_on_grid_line")
            << 0.f << 0.f << 0.f << 30.f << 30.f << V{} << V{0};
        QTest::newRow("zero_width_inside_cell")
            << 10.f << 0.f << 0.f << 30.f << 30.f << V{0} << V{0};
        QTest::newRow("zero_height_on_grid_line")
            << 0.f << 0.f << 60.f << 0.f << 30.f << V{0, 30} << V{};
        QTest::newRow("remainder_below_threshold")
            << 5e-7f << 0.f << 60.f << 30.f << 30.f << V{0, 30} << V{0};
        QTest::newRow("rows_follow_y")
            << 0.f << 45.f << 30.f << 50.f << 30.f << V{0} << V{30, 60, 90};
        QTest::newRow("rows_and_columns")
            << 15.f << 15.f << 30.f << 30.f << 30.f << V{0, 30} << V{0, 30};
        // Negative starts: the first grid line is the one at or below the start.
        QTest::newRow("negative_start_inside_cell")
            << -10.f << 0.f << 100.f << 30.f << 30.f << V{-30, 0, 30, 60, 90} << V{0};
        QTest::newRow("negative_start_two_cells_left")
            << -40.f << 0.f << 30.f << 30.f << 30.f << V{-60, -30} << V{0};
        QTest::newRow("negative_start_on_grid_line")
            << -30.f << 0.f << 60.f << 30.f << 30.f << V{-30, 0} << V{0};
        QTest::newRow("negative_start_y")
            << 0.f << -10.f << 30.f << 20.f << 30.f << V{0} << V{-30, 0};
    }

    void grid()
    {
        QFETCH(float, startX);
        QFETCH(float, startY);
        QFETCH(float, width);
        QFETCH(float, height);
        QFETCH(float, blockSize);
        QFETCH(std::vector<float>, xs);
        QFETCH(std::vector<float>, ys);

        Grid rows;
        CKrCommon::GetSingleTon().calBlock(rows, startX, startY, width, height, blockSize,
                                           blockSize);
        const Grid expected = gridOf(xs, ys);
        QVERIFY2(rows == expected,
                 (describe(rows) + " expected " + describe(expected)).constData());
    }

    void appendsAfterExistingRows()
    {
        Grid rows{{-1.f, -2.f}};
        CKrCommon::GetSingleTon().calBlock(rows, 10, 10, 20, 20, 30, 30);
        const Grid expected{{-1.f, -2.f}, {0, 0, 30, 0}, {0, 30, 30, 30}};
        QVERIFY2(rows == expected, describe(rows).constData());
    }

    // Every grid covers its area and its blocks tile without gaps, also for
    // areas that start left of or below the origin.
    void gridCoversArea_data()
    {
        QTest::addColumn<float>("start");
        QTest::addColumn<float>("extent");
        QTest::addColumn<float>("blockSize");
        const float starts[] = {-1000.5f, -250.f, -31.f, -30.f, -29.5f,
                                -0.25f,   0.f,    0.25f, 29.f,  512.75f};
        const float extents[] = {0.5f, 30.f, 61.f, 999.f};
        const float sizes[] = {0.5f, 30.f, 128.f};
        for (float s : starts)
            for (float e : extents)
                for (float b : sizes)
                    QTest::addRow("start_%g_extent_%g_block_%g", double(s), double(e), double(b))
                        << s << e << b;
    }

    void gridCoversArea()
    {
        QFETCH(float, start);
        QFETCH(float, extent);
        QFETCH(float, blockSize);

        Grid rows;
        CKrCommon::GetSingleTon().calBlock(rows, start, 0.f, extent, 1.f, blockSize, 1e6f);
        QCOMPARE(rows.size(), std::size_t(1));
        const std::vector<float> &row = rows.front();
        QVERIFY(row.size() >= 2);
        const float first = row.front();
        const float last = row[row.size() - 2];
        QVERIFY2(first <= start, qPrintable(QString::number(double(first))));
        QVERIFY2(double(last) + blockSize >= double(start) + extent - 1e-3,
                 qPrintable(QString::number(double(last))));
        QVERIFY(std::fmod(double(first), double(blockSize)) == 0.0);
        for (std::size_t i = 2; i < row.size(); i += 2)
            QCOMPARE(row[i] - row[i - 2], blockSize);
    }

    void unsizableGridThrowsAndAppendsNothing_data()
    {
        QTest::addColumn<float>("width");
        QTest::addColumn<float>("height");
        QTest::addColumn<float>("blockWidth");
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float inf = std::numeric_limits<float>::infinity();
        QTest::newRow("negative_width") << -60.f << 30.f << 30.f;
        QTest::newRow("negative_width_zero_height") << -60.f << 0.f << 30.f;
        QTest::newRow("zero_block_width") << 60.f << 30.f << 0.f;
        QTest::newRow("nan_width") << nan << 30.f << 30.f;
        QTest::newRow("infinite_width") << inf << 30.f << 30.f;
        QTest::newRow("count_beyond_32_bits") << 1e12f << 30.f << 1.f;
    }

    void unsizableGridThrowsAndAppendsNothing()
    {
        QFETCH(float, width);
        QFETCH(float, height);
        QFETCH(float, blockWidth);
        Grid rows{{1.f, 2.f}};
        QVERIFY_EXCEPTION_THROWN(
            CKrCommon::GetSingleTon().calBlock(rows, 0, 0, width, height, blockWidth, 30.f),
            std::length_error);
        QCOMPARE(rows.size(), std::size_t(1));
    }

    void negativeRowCountAppendsNothing()
    {
        Grid rows;
        CKrCommon::GetSingleTon().calBlock(rows, 0, 0, 60, -60, 30, 30);
        QVERIFY(rows.empty());
    }
};

QTEST_GUILESS_MAIN(BlockGridTest)

#include "blockgridtest.moc"
