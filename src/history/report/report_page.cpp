#include "history/report/report_page.h"

#include <QFontMetricsF>
#include <QPdfWriter>

#include <algorithm>

namespace {

constexpr double kPad = 3;     // points inside a table cell
constexpr double kFooter = 24; // points kept for the page number

} // namespace

ReportPages::ReportPages(QPdfWriter& writer, QPainter& painter, const QString& footer)
    : writer_(writer), p_(painter), footer_(footer) {
    body_ = QFont("DejaVu Sans");
    body_.setPointSizeF(8.5);
    bold_ = body_;
    bold_.setBold(true);
    title_ = bold_;
    title_.setPointSizeF(12);
    const QRectF page(QPointF(0, 0), writer.pageLayout().paintRect(QPageLayout::Point).size());
    right_ = page.width() - kMargin;
    bottom_ = page.height() - kMargin - kFooter;
}

void ReportPages::newPage() {
    footer();
    writer_.newPage();
    ++page_;
    y_ = kMargin;
}

void ReportPages::footer() {
    p_.setFont(body_);
    p_.setPen(Qt::darkGray);
    p_.drawText(QRectF(kMargin, bottom_ + kFooter / 2, width(), kFooter),
                Qt::AlignLeft | Qt::AlignVCenter, footer_);
    p_.drawText(QRectF(kMargin, bottom_ + kFooter / 2, width(), kFooter),
                Qt::AlignRight | Qt::AlignVCenter, QObject::tr("page %1").arg(page_));
    p_.setPen(Qt::black);
}

void ReportPages::need(double height) {
    if (y_ + height > bottom_ && y_ > kMargin) newPage();
}

void ReportPages::heading(const QString& text) {
    const double h = QFontMetricsF(title_, &writer_).height();
    // A heading never stands alone at the foot of a page.
    need(h + 6 + 4 * QFontMetricsF(body_, &writer_).height());
    y_ += y_ > kMargin ? 8 : 0;
    p_.setFont(title_);
    p_.drawText(QRectF(kMargin, y_, width(), h), Qt::AlignLeft | Qt::AlignVCenter, text);
    y_ += h + 4;
}

void ReportPages::fields(const std::vector<std::pair<QString, QString>>& rows) {
    const QFontMetricsF m(body_, &writer_);
    double labels = 0;
    for (const auto& r : rows)
        labels = std::max(labels, QFontMetricsF(bold_, &writer_).horizontalAdvance(r.first));
    labels += 10;
    for (const auto& [label, value] : rows) {
        const QRectF valueRect(kMargin + labels, y_, width() - labels, 1000);
        const double h =
            std::max(m.height(), m.boundingRect(valueRect, Qt::TextWordWrap, value).height());
        need(h);
        p_.setFont(bold_);
        p_.drawText(QRectF(kMargin, y_, labels, h), Qt::AlignLeft | Qt::AlignTop, label);
        p_.setFont(body_);
        p_.drawText(QRectF(kMargin + labels, y_, width() - labels, h),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, value);
        y_ += h + 1;
    }
}

void ReportPages::paragraph(const QString& text) {
    const QFontMetricsF m(body_, &writer_);
    const double h = m.boundingRect(QRectF(0, 0, width(), 1000), Qt::TextWordWrap, text).height();
    need(h);
    p_.setFont(body_);
    p_.drawText(QRectF(kMargin, y_, width(), h), Qt::AlignLeft | Qt::TextWordWrap, text);
    y_ += h + 2;
}

double ReportPages::rowHeight(const Table& t, const std::vector<QString>& row,
                              const QFont& font) const {
    const QFontMetricsF m(font, &writer_);
    double h = m.height();
    for (std::size_t i = 0; i < row.size() && i < t.shares.size(); ++i) {
        const QRectF cell(0, 0, t.shares[i] * width() - 2 * kPad, 10000);
        h = std::max(h, m.boundingRect(cell, Qt::TextWordWrap, row[i]).height());
    }
    return h + 2 * kPad;
}

void ReportPages::row(const Table& t, const std::vector<QString>& cells, const QFont& font,
                      bool shaded) {
    const double h = rowHeight(t, cells, font);
    if (shaded) p_.fillRect(QRectF(kMargin, y_, width(), h), QColor(0xf0, 0xf2, 0xf6));
    p_.setFont(font);
    double x = kMargin;
    for (std::size_t i = 0; i < cells.size() && i < t.shares.size(); ++i) {
        const double w = t.shares[i] * width();
        const bool right = i < t.rightAligned.size() && t.rightAligned[i];
        p_.drawText(QRectF(x + kPad, y_ + kPad, w - 2 * kPad, h - 2 * kPad),
                    (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop | Qt::TextWordWrap,
                    cells[i]);
        x += w;
    }
    y_ += h;
}

void ReportPages::table(const Table& t) {
    const double headerHeight = rowHeight(t, t.header, bold_);
    const auto header = [&] {
        row(t, t.header, bold_, false);
        p_.drawLine(QPointF(kMargin, y_), QPointF(right_, y_));
    };
    need(headerHeight + (t.rows.empty() ? 0 : rowHeight(t, t.rows.front(), body_)));
    header();
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        const double h = rowHeight(t, t.rows[i], body_);
        if (y_ + h > bottom_) {
            newPage();
            header();
        }
        row(t, t.rows[i], body_, i % 2 == 1);
    }
    y_ += 4;
}

void ReportPages::block(double height, const std::function<void(const QRectF&)>& draw) {
    need(height);
    draw(QRectF(kMargin, y_, width(), height));
    y_ += height;
}

void ReportPages::finish() {
    footer();
}
