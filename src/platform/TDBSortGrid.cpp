#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScroller>
#include <QStyledItemDelegate>

#include "dataset/ClientDataSet.h"
#include "dataset/DataSetModel.h"
#include "platform/Controls.h"
#include "platform/Platform.h"

namespace platform {

namespace {
const QColor standardLineColor(0xC0, 0xC0, 0xC0);
// The selected cell keeps the text colour its row was painted in (green, red, grey on a till's
// screen): a pale amber under black lets every one of them read, where the usual dark blue
// hides grey.
const QColor selectionBackground(0xFF, 0xF0, 0xA8);
const QColor selectionText(Qt::black);

void setSelectionColors(QPalette& p) {
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::Highlight, selectionBackground);
        p.setColor(group, QPalette::HighlightedText, selectionText);
    }
}

// Handlers run inside paint and event code that Qt calls: nothing may escape from them.
template <typename F>
void guarded(F f) {
    try {
        f();
    } catch (...) {
        HandleException(std::current_exception());
    }
}
}  // namespace

// The title row in its own colours: a plain band, titles left-aligned as the cells.
class TDBSortGrid::TitleHeader : public QHeaderView {
public:
    explicit TitleHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
        const QPalette app = QApplication::palette(parent);
        background = app.color(QPalette::Button);
        text = app.color(QPalette::ButtonText);
    }
    QColor background;
    QColor text;

protected:
    void paintSection(QPainter* p, const QRect& rect, int logical) const override {
        if (!rect.isValid()) return;
        p->save();
        p->fillRect(rect, background);
        p->setPen(background.lightness() < 128 ? background.lighter(180) : background.darker(130));
        p->drawLine(rect.topRight(), rect.bottomRight());
        p->setPen(text);
        p->setFont(font());
        const QString title =
            model() ? model()->headerData(logical, orientation()).toString() : QString();
        const QRect tr = rect.adjusted(3, 0, -3, 0);
        p->drawText(tr, Qt::AlignLeft | Qt::AlignVCenter,
                    fontMetrics().elidedText(title, Qt::ElideRight, tr.width()));
        p->restore();
    }
    void paintEvent(QPaintEvent* e) override {
        QHeaderView::paintEvent(e);
        // The band goes on past the last column in the title colour.
        const int end = length() - offset();
        if (end < viewport()->width()) {
            QPainter p(viewport());
            p.fillRect(QRect(end, 0, viewport()->width() - end, viewport()->height()), background);
        }
    }
    QSize sectionSizeFromContents(int logical) const override {
        QSize s = QHeaderView::sectionSizeFromContents(logical);
        s.setHeight(fontMetrics().height() + 10);
        return s;
    }
};

// Default painting, then the screen's own drawing on top, then the row line.
class TDBSortGrid::Delegate : public QStyledItemDelegate {
public:
    explicit Delegate(TDBSortGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem base(option);
        base.state &= ~QStyle::State_HasFocus;  // no dotted focus frame on a touch grid
        QStyledItemDelegate::paint(p, base, index);

        const QRect cell = option.rect.adjusted(0, 0, 0, -1);  // the row line stays the grid's
        if (grid_->OnDrawColumnCell) {
            const QPalette::ColorGroup cg =
                !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                : (option.state & QStyle::State_Active) ? QPalette::Active
                                                        : QPalette::Inactive;
            const bool selected = option.state & QStyle::State_Selected;
            QBrush brush =
                option.palette.brush(cg, selected ? QPalette::Highlight : QPalette::Base);
            if (!selected) {
                const QVariant bg = index.data(Qt::BackgroundRole);
                if (bg.canConvert<QBrush>() && bg.value<QBrush>().style() != Qt::NoBrush)
                    brush = bg.value<QBrush>();
            }
            p->save();
            p->setClipRect(cell);
            p->setBrush(brush);
            p->setPen(
                option.palette.color(cg, selected ? QPalette::HighlightedText : QPalette::Text));
            p->setFont(option.font);
            guarded([&] {
                grid_->OnDrawColumnCell(*p, cell, index.column(), index.row(), option.state);
            });
            p->restore();
        }
        p->save();
        p->setPen(grid_->gridLineColor());
        p->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        p->restore();
    }

    QWidget* createEditor(QWidget*, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        return nullptr;  // cells are never edited
    }

private:
    TDBSortGrid* grid_;
};

TDBSortGrid::TDBSortGrid(QWidget* parent) : QTableView(parent), gridLineColor_(standardLineColor) {
    header_ = new TitleHeader(this);
    setHorizontalHeader(header_);
    header_->setSectionsClickable(true);
    header_->setSectionsMovable(false);
    header_->setHighlightSections(false);
    header_->setStretchLastSection(false);
    header_->setSectionResizeMode(QHeaderView::Interactive);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setCornerButtonEnabled(false);
    setShowGrid(false);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    delegate_ = new Delegate(this);
    setItemDelegate(delegate_);

    // Touch: a drag scrolls the list with inertia; a tap stays a click.
    QScroller::grabGesture(viewport(), QScroller::LeftMouseButtonGesture);
    QScrollerProperties sp = QScroller::scroller(viewport())->scrollerProperties();
    sp.setScrollMetric(QScrollerProperties::MousePressEventDelay, 0);
    sp.setScrollMetric(QScrollerProperties::HorizontalOvershootPolicy,
                       QVariant::fromValue(QScrollerProperties::OvershootAlwaysOff));
    sp.setScrollMetric(QScrollerProperties::VerticalOvershootPolicy,
                       QVariant::fromValue(QScrollerProperties::OvershootAlwaysOff));
    QScroller::scroller(viewport())->setScrollerProperties(sp);

    QPalette pal = palette();
    setSelectionColors(pal);
    setPalette(pal);

    connect(header_, &QHeaderView::sectionClicked, this,
            [this](int column) { guarded([&] { Q_EMIT titleClick(column); }); });
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (!index.isValid()) return;
        followGrid(index);  // the clicked row is current before the handler runs
        guarded([&] { Q_EMIT cellClick(index.column()); });
    });
    adjustRowHeight();
}

TDBSortGrid::~TDBSortGrid() = default;

void TDBSortGrid::setDataSet(dataset::ClientDataSet* ds) {
    if (dataSet() == ds && (model_ || !ds)) return;
    dataset::DataSetModel* old = model_;
    if (old && old->dataSet()) disconnect(old->dataSet(), nullptr, this, nullptr);
    model_ = ds ? new dataset::DataSetModel(ds, this) : nullptr;
    setModel(model_);
    delete old;
    if (!model_) return;
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) { followGrid(current); });
    connect(ds, &dataset::ClientDataSet::currentChanged, this, [this](int) { followDataSet(); });
    connect(ds, &dataset::ClientDataSet::layoutReset, this, [this] { followDataSet(); });
    followDataSet();
}

dataset::ClientDataSet* TDBSortGrid::dataSet() const {
    return model_ ? model_->dataSet() : nullptr;
}

QString TDBSortGrid::columnFieldName(int column) const {
    dataset::ClientDataSet* ds = dataSet();
    if (!ds || column < 0 || column >= model_->columnCount()) return {};
    const int field = model_->fieldOfColumn(column);
    return field < 0 || field >= ds->fieldCount() ? QString() : ds->fieldDef(field).name;
}

void TDBSortGrid::setColumnWidths(const QList<int>& widths) {
    for (int i = 0; i < widths.size(); ++i) setColumnWidth(i, widths.at(i));
}

void TDBSortGrid::setTitleColors(const QColor& background, const QColor& text) {
    header_->background = background;
    header_->text = text;
    header_->viewport()->update();
}

void TDBSortGrid::setTitleFont(const QFont& f) {
    header_->setFont(f);
    header_->resizeSections(QHeaderView::Interactive);
    updateGeometries();
}

void TDBSortGrid::SetDefaultColors(bool on) {
    if (!on) return;
    const QPalette app = QApplication::palette(this);
    QPalette p = palette();
    for (auto role : {QPalette::Base, QPalette::Text, QPalette::AlternateBase})
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            p.setColor(group, role, app.color(group, role));
    setSelectionColors(p);
    setPalette(p);
    setGridLineColor(standardLineColor);
}

void TDBSortGrid::setGridLineColor(const QColor& c) {
    gridLineColor_ = c;
    viewport()->update();
}

void TDBSortGrid::keyPressEvent(QKeyEvent* e) {
    const QPointer<TDBSortGrid> alive(this);
    guarded([&] { Q_EMIT keyDown(VirtualKey(e->key()), e->modifiers()); });
    if (!alive) return;  // the handler closed and freed the screen
    QTableView::keyPressEvent(e);
    // Keys end here, as the screen's shortcuts do: a dialog must not turn Escape into a close
    // that the screen's own rule (the "X" being enabled) did not allow.
    e->accept();
}

void TDBSortGrid::setBottomReserve(int px) {
    if (px == bottomReserve_) return;
    bottomReserve_ = px;
    updateGeometries();
}

// The table view sets the margins for its headers; the reserve at the foot goes on top.
void TDBSortGrid::updateGeometries() {
    QTableView::updateGeometries();
    QMargins m = viewportMargins();
    if (m.bottom() == bottomReserve_) return;
    m.setBottom(bottomReserve_);
    setViewportMargins(m);
}

void TDBSortGrid::changeEvent(QEvent* e) {
    QTableView::changeEvent(e);
    if (e->type() == QEvent::FontChange) adjustRowHeight();
}

void TDBSortGrid::adjustRowHeight() {
    verticalHeader()->setDefaultSectionSize(qMax(30, fontMetrics().height() + 12));
}

void TDBSortGrid::followDataSet() {
    dataset::ClientDataSet* ds = dataSet();
    if (syncing_ || !ds) return;
    const int row = ds->active() ? ds->recNo() - 1 : -1;
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.row() == row) return;
    syncing_ = true;
    if (row < 0 || row >= model_->rowCount()) {
        selectionModel()->clear();
    } else {
        // A walk over the dataset (mark-all) moves the record thousands of times: scrolling
        // at each step would cost seconds, so the grid scrolls once, when the walk is over.
        const bool autoScrolls = hasAutoScroll();
        setAutoScroll(false);
        setCurrentIndex(model_->index(row, current.isValid() ? current.column() : 0));
        setAutoScroll(autoScrolls);
        if (!scrollPending_) {
            scrollPending_ = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    scrollPending_ = false;
                    if (currentIndex().isValid()) scrollTo(currentIndex());
                },
                Qt::QueuedConnection);
        }
    }
    syncing_ = false;
}

void TDBSortGrid::followGrid(const QModelIndex& current) {
    dataset::ClientDataSet* ds = dataSet();
    if (syncing_ || !ds || !current.isValid() || !ds->active()) return;
    if (ds->recNo() == current.row() + 1) return;
    syncing_ = true;
    guarded([&] { ds->moveTo(current.row() + 1); });
    syncing_ = false;
}

}  // namespace platform
