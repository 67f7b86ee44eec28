#include "traffic/panel/traffic_monitor.h"

#include "mainpanel/ids/main_panel.h"
#include "panelkit/gui_call.h"
#include "panelkit/panel_table.h"
#include "traffic/panel/traffic_model.h"
#include "traffic/traffic_tap.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

namespace {

constexpr int kPickUpMs = 100;
constexpr int kHealthMs = 1000;

class TrafficView : public QObject {
  public:
    TrafficView(TrafficTap& tap, QTableView* table, QLabel* names, QLabel* values)
        : QObject(table), tap_(tap), table_(table), names_(names), values_(values),
          model_(kKeptRows, this), filter_(this) {
        show(&model_);
        table_->verticalHeader()->setVisible(false);
        table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
        table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

        pickUp_.setSingleShot(true);
        connect(&pickUp_, &QTimer::timeout, this, [this] { pickUpNow(); });
        // The health line names the seconds since the last failure, and the
        // counts of a paused table still go on.
        connect(&health_, &QTimer::timeout, this, [this] {
            if (table_->isVisible())
                showStatistics();
            else
                showHealth(tap_.statistics().counts());
        });
        health_.start(kHealthMs);
        showStatistics();
    }

    ~TrafficView() override { tap_.stopKeepingRows(); }

    void schedule() {
        if (!pickUp_.isActive()) pickUp_.start(kPickUpMs);
    }

    void pickUpNow() {
        if (paused_) return; // the rows wait in the tap
        std::vector<TrafficRow> rows = tap_.takeRows();
        if (!rows.empty()) append(std::move(rows));
        // The counts beside the table agree with it.
        if (table_->isVisible()) showStatistics();
    }

    void setPaused(bool paused) {
        paused_ = paused;
        if (!paused_) pickUpNow();
    }

    // The filter sits between table and rows only while it filters: a proxy
    // over 10,000 rows would otherwise follow every row that comes and goes.
    void setFailuresOnly(bool on) {
        if (on) filter_.setSourceModel(&model_);
        filter_.setFailuresOnly(on);
        if (!on) filter_.setSourceModel(nullptr);
        show(on ? static_cast<QAbstractItemModel*>(&filter_) : &model_);
        table_->scrollToBottom();
    }

    void clear() {
        tap_.takeRows();
        model_.clear();
    }

    std::vector<TrafficRow> rows() const { return {model_.rows().begin(), model_.rows().end()}; }
    int shown() const { return table_->model()->rowCount(); }

    // Plain text in two columns: names once, values as they change. A
    // rich-text table laid out anew every second would cost more than all
    // the rest of the panel.
    void showStatistics() {
        const LineCounts counts = tap_.statistics().counts();
        QString names, values;
        for (const auto& [name, value] : statisticsLines(counts)) {
            names += QString::fromStdString(name) + QLatin1Char('\n');
            values += QString::fromStdString(value) + QLatin1Char('\n');
        }
        names.chop(1);
        values.chop(1);
        setLabel(names_, names);
        setLabel(values_, values);
        showHealth(counts);
    }

  private:
    // Newest at the bottom. A table that shows the newest row follows the new
    // ones; one scrolled up keeps its top row in place, even as old rows leave
    // above it.
    void append(std::vector<TrafficRow> rows) {
        QScrollBar* bar = table_->verticalScrollBar();
        const bool following = bar->value() >= bar->maximum();
        const int topRow = sourceRow(bar->value());
        const int left = model_.append(std::move(rows));
        if (following) {
            table_->scrollToBottom();
            return;
        }
        const int top = shownRow(std::max(topRow - left, 0));
        if (top >= 0) bar->setValue(top);
    }

    bool filtering() const { return filter_.failuresOnly(); }
    int sourceRow(int shown) const {
        return filtering() ? filter_.mapToSource(filter_.index(shown, 0)).row() : shown;
    }
    int shownRow(int source) const {
        return filtering() ? filter_.mapFromSource(model_.index(source, 0)).row() : source;
    }

    void show(QAbstractItemModel* model) {
        table_->setModel(model);
        QHeaderView* header = table_->horizontalHeader();
        header->setSectionResizeMode(QHeaderView::Interactive);
        header->setStretchLastSection(false);
        header->setSectionResizeMode(TrafficModel::meaningColumn, QHeaderView::Stretch);
        // Room for a whole request's bytes, "late bytes discarded" and the
        // headings; the rest goes to the meaning, which is read first.
        const int widths[] = {90, 35, 175, 0, 100, 125, 60};
        for (int c = 0; c < TrafficModel::columnCount_; ++c)
            if (widths[c]) table_->setColumnWidth(c, widths[c]);
    }

    static void setLabel(QLabel* label, const QString& text) {
        if (label->text() != text) label->setText(text);
    }

    void showHealth(const LineCounts& counts) {
        if (auto* button = qobject_cast<QAbstractButton*>(
                lookupControl(MainPanel::handle, MainPanel::lineHealthButton)))
            button->setText(QString::fromStdString(healthText(counts, lineClock().now())));
    }

    TrafficTap& tap_;
    QTableView* table_;
    QLabel* names_;
    QLabel* values_;
    TrafficModel model_;
    FailuresFilter filter_;
    QTimer pickUp_;
    QTimer health_;
    bool paused_ = false;
};

} // namespace

TrafficMonitor::TrafficMonitor(TrafficTap& tap) : tap_(tap), context_(new QObject) {}

TrafficMonitor::~TrafficMonitor() {
    tap_.stopKeepingRows();
    delete view_.data();
}

template <class F> void TrafficMonitor::withView(F&& f) {
    onGui([&] {
        if (auto* view = static_cast<TrafficView*>(view_.data())) f(*view);
    });
}

void TrafficMonitor::setUp(QTableView& table, QLabel& names, QLabel& values) {
    delete view_.data();
    view_ = new TrafficView(tap_, &table, &names, &values);
    keepRows();
}

void TrafficMonitor::keepRows() {
    // Called on the thread that made the exchange: one queued call per
    // pickup, never a wait for the GUI. The call goes with the monitor.
    tap_.keepRows([this] {
        QMetaObject::invokeMethod(
            context_.get(),
            [this] {
                if (auto* view = static_cast<TrafficView*>(view_.data())) view->schedule();
            },
            Qt::QueuedConnection);
    });
}

void TrafficMonitor::setPaused(bool paused) {
    withView([&](TrafficView& v) { v.setPaused(paused); });
}

void TrafficMonitor::setFailuresOnly(bool on) {
    withView([&](TrafficView& v) { v.setFailuresOnly(on); });
}

void TrafficMonitor::clearTable() {
    withView([](TrafficView& v) { v.clear(); });
}

std::vector<TrafficRow> TrafficMonitor::tableRows() {
    std::vector<TrafficRow> rows;
    withView([&](TrafficView& v) { rows = v.rows(); });
    return rows;
}

void TrafficMonitor::refreshStatistics() {
    withView([](TrafficView& v) { v.showStatistics(); });
}

void TrafficMonitor::pickUpNow() {
    withView([](TrafficView& v) { v.pickUpNow(); });
}

int TrafficMonitor::rowsShown() {
    int n = 0;
    withView([&](TrafficView& v) { n = v.shown(); });
    return n;
}
