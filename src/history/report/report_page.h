#pragma once
// Lays a report's text out down A4 pages, in points from the page's top
// left: headings, lines and tables whose long cells wrap, a new page (with
// the table's heading again) wherever the next row would not fit, and the
// page number at the foot of each page.
#include <QFont>
#include <QPainter>
#include <QString>

#include <functional>
#include <vector>

class QPdfWriter;

class ReportPages {
  public:
    static constexpr double kMargin = 42; // points: 15 mm

    // The painter draws on writer, whose resolution is set to points.
    ReportPages(QPdfWriter& writer, QPainter& painter, const QString& footer);

    double width() const { return right_ - kMargin; }
    double y() const { return y_; }
    // Room for `height` more points on this page, else the next page.
    void need(double height);
    void skip(double height) { y_ += height; }

    void heading(const QString& text);
    // "label  value" lines, the labels in one column.
    void fields(const std::vector<std::pair<QString, QString>>& rows);
    void paragraph(const QString& text);

    // A table: column widths as shares of the width; the header row again
    // on each page it runs onto. Cells wrap at word boundaries.
    struct Table {
        std::vector<double> shares;
        std::vector<QString> header;
        std::vector<std::vector<QString>> rows;
        std::vector<bool> rightAligned;
    };
    void table(const Table& table);

    // Draws on a block of `height` points at the cursor, on this page or the next.
    void block(double height, const std::function<void(const QRectF&)>& draw);
    void finish();

  private:
    void newPage();
    void footer();
    double rowHeight(const Table& t, const std::vector<QString>& row, const QFont& font) const;
    void row(const Table& t, const std::vector<QString>& cells, const QFont& font, bool shaded);

    QPdfWriter& writer_;
    QPainter& p_;
    QString footer_;
    QFont body_, bold_, title_;
    double right_ = 0, bottom_ = 0, y_ = kMargin;
    int page_ = 1;
};
