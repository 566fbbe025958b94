#include "windows/common/ListBox.h"

#include "data/ListOrder.h"
#include "windows/common/FrameAtScale.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <algorithm>
#include <optional>
#include <ranges>

namespace quillbox::windows {

class ListBoxModel : public QAbstractListModel {
public:
    explicit ListBoxModel(QObject* parent) : QAbstractListModel(parent) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : count();
    }
    // The view asks for every row's index as it lays the list out: without the two virtual
    // calls of the general check, that is a tenth of showing a long list.
    QModelIndex index(int row, int column = 0, const QModelIndex& parent = {}) const override {
        return column == 0 && !parent.isValid() && contains(row) ? createIndex(row, 0)
                                                                  : QModelIndex();
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !contains(index.row()))
            return {};
        return text(index.row()).toString();
    }

    // Type-to-find asks for the entries that begin with what was typed. In the list's own order
    // they are one run, so they are found as the list compares names: accents the list sorts
    // past do not stop the search. Any other question is Qt's.
    QModelIndexList match(const QModelIndex& start, int role, const QVariant& value, int hits,
                          Qt::MatchFlags flags) const override {
        if (role != Qt::DisplayRole || (flags.toInt() & Qt::MatchTypeMask) != Qt::MatchStartsWith)
            return QAbstractListModel::match(start, role, value, hits, flags);
        const QString prefix = value.toString();
        const int first = firstNotBefore(prefix),
                  end = firstNotBefore(data::ListComparer::prefixEnd(prefix));
        QModelIndexList found;
        const auto take = [&](int from, int to) {
            for (int row = from; row < to && (hits < 0 || found.size() < hits); ++row)
                found << index(row);
        };
        const int at = start.isValid() ? start.row() : 0;
        take(std::max(at, first), end);
        if (flags.testFlag(Qt::MatchWrap))
            take(first, std::min(at, end));
        return found;
    }

    int count() const { return static_cast<int>(done_ + list_.size() - skipped_); }
    bool contains(int row) const { return row >= 0 && row < count(); }
    // While a merge runs, the rows are the merged list's first done_ entries, then the old
    // list's entries from skipped_ on: what the signals sent so far have told the view.
    QStringView text(int row) const {
        const auto r = static_cast<std::size_t>(row);
        return r < done_ ? merging_->name(r) : list_.name(r - done_ + skipped_);
    }
    qint32 number(int row) const {
        const auto r = static_cast<std::size_t>(row);
        return r < done_ ? merging_->number(r) : list_.number(r - done_ + skipped_);
    }
    void setNumber(int row, qint32 value) { list_.setNumber(static_cast<std::size_t>(row), value); }

    // After every entry that compares equal, so that equal texts stay in the order added; or,
    // with `number`, before the first of them whose number is greater.
    int insert(QStringView text, std::optional<qint32> number = {}) {
        int row = firstAfter(text);
        if (number)
            for (int first = firstNotBefore(text); first < row; ++first)
                if (this->number(first) > *number) {
                    row = first;
                    break;
                }
        beginInsertRows({}, row, row);
        list_.insert(static_cast<std::size_t>(row), text, number.value_or(0));
        endInsertRows();
        return row;
    }

    void remove(int row) {
        beginRemoveRows({}, row, row);
        list_.erase(static_cast<std::size_t>(row), static_cast<std::size_t>(row) + 1);
        endRemoveRows();
    }

    void clear() {
        beginResetModel();
        list_.clear();
        endResetModel();
    }

    // Returns where the last of the given entries ended up, or -1 when there were none.
    int fill(data::NameList entries) {
        const int lastGivenAt = sort(entries);
        beginResetModel();
        list_ = std::move(entries);
        endResetModel();
        return lastGivenAt;
    }

    // Where the rows `tracked` of the list before a merge stand after it: -1 for one that was
    // removed, or, with `orNext`, the row of the first entry after it that stayed.
    struct Tracked {
        int row;
        bool orNext;
    };

    // Fill's result, reached by removing and inserting only the entries that differ (the same
    // text and number). Returns where the last of the given entries ended up.
    int merge(data::NameList entries, std::vector<Tracked>& tracked) {
        const int lastGivenAt = sort(entries);
        const std::vector<Step> steps = plan(entries);
        std::vector<int> found(tracked.size(), -1);
        std::vector<bool> pending(tracked.size(), false);
        merging_ = &entries;
        for (const Step& step : steps) {
            const int row = static_cast<int>(done_), last = row + static_cast<int>(step.count) - 1;
            for (std::size_t t = 0; t < tracked.size(); ++t) {
                const auto from = static_cast<std::size_t>(tracked[t].row);
                const bool inStep = from >= skipped_ && from < skipped_ + step.count;
                if (step.kind == Step::Keep && (pending[t] || inStep) && found[t] < 0) {
                    found[t] = inStep ? row + static_cast<int>(from - skipped_) : row;
                    pending[t] = false;
                } else if (step.kind == Step::Remove && inStep) {
                    pending[t] = tracked[t].orNext;
                }
            }
            if (step.kind == Step::Keep) {
                done_ += step.count;
                skipped_ += step.count;
            } else if (step.kind == Step::Remove) {
                beginRemoveRows({}, row, last);
                skipped_ += step.count;
                endRemoveRows();
            } else {
                beginInsertRows({}, row, last);
                done_ += step.count;
                endInsertRows();
            }
        }
        list_ = std::move(entries);
        merging_ = nullptr;
        done_ = skipped_ = 0;
        for (std::size_t t = 0; t < tracked.size(); ++t)
            tracked[t].row = found[t];
        return lastGivenAt;
    }

private:
    struct Step {
        enum Kind { Keep, Remove, Insert } kind;
        std::size_t count;
    };

    // Puts `entries` in the list's order, equal texts as given; returns where the last given
    // entry went, or -1 when there are none.
    int sort(data::NameList& entries) const {
        const std::size_t n = entries.size();
        bool sorted = true;
        for (std::size_t i = 1; !entries.inListOrder() && sorted && i < n; ++i)
            sorted = !comparer()(entries.name(i), entries.name(i - 1));
        // Entries already in the list's order (the load step sorts as it reads, and says so)
        // stay as given.
        if (sorted)
            return static_cast<int>(n) - 1;
        const std::vector<std::size_t> order =
            data::listOrder(n, [&entries](std::size_t i) { return entries.name(i); });
        entries.reorder(order);
        return static_cast<int>(std::find(order.begin(), order.end(), n - 1) - order.begin());
    }

    // The steps from the list to `to`, both in the list's order: the two are walked side by
    // side, and where their texts compare equal but the entries differ, the run of such texts
    // on each side is matched up apart.
    std::vector<Step> plan(const data::NameList& to) const {
        const data::NameList& from = list_;
        std::vector<Step> steps;
        const auto add = [&steps](Step::Kind kind, std::size_t count) {
            if (count == 0)
                return;
            if (!steps.empty() && steps.back().kind == kind)
                steps.back().count += count;
            else
                steps.push_back({kind, count});
        };
        const auto same = [&](std::size_t i, std::size_t j) {
            return from.number(i) == to.number(j) && from.name(i) == to.name(j);
        };
        std::size_t i = 0, j = 0;
        const std::size_t endI = from.size(), endJ = to.size();
        while (i < endI || j < endJ) {
            if (i < endI && j < endJ && same(i, j)) {
                add(Step::Keep, 1);
                ++i, ++j;
                continue;
            }
            const int order = i == endI   ? 1
                              : j == endJ ? -1
                                          : comparer().compare(from.name(i), to.name(j));
            if (order < 0) {
                add(Step::Remove, 1);
                ++i;
            } else if (order > 0) {
                add(Step::Insert, 1);
                ++j;
            } else {
                std::size_t runI = i + 1, runJ = j + 1;
                while (runI < endI && comparer().compare(from.name(runI), to.name(j)) == 0)
                    ++runI;
                while (runJ < endJ && comparer().compare(from.name(i), to.name(runJ)) == 0)
                    ++runJ;
                matchRun(i, runI, j, runJ, same, add);
                i = runI;
                j = runJ;
            }
        }
        return steps;
    }

    // Entries of equal text, [i, endI) of the list and [j, endJ) of the new one, in steps: those
    // found on both sides in the same order stay; the rest go and come. A long run is only
    // trimmed of its common ends, so that no run costs the square of its length.
    template <typename Same, typename Add>
    static void matchRun(std::size_t i, std::size_t endI, std::size_t j, std::size_t endJ,
                         const Same& same, const Add& add) {
        std::size_t head = 0, tail = 0;
        while (i + head < endI && j + head < endJ && same(i + head, j + head))
            ++head;
        add(Step::Keep, head);
        i += head, j += head;
        while (endI - tail > i && endJ - tail > j && same(endI - 1 - tail, endJ - 1 - tail))
            ++tail;
        endI -= tail, endJ -= tail;
        std::vector<std::size_t> partner(endJ - j, endI); // for each new entry, the old one kept
        if ((endI - i) * (endJ - j) <= 4096) {
            std::size_t next = i;
            for (std::size_t b = j; b < endJ; ++b)
                for (std::size_t a = next; a < endI; ++a)
                    if (same(a, b)) {
                        partner[b - j] = a;
                        next = a + 1;
                        break;
                    }
        }
        std::size_t a = i;
        for (std::size_t b = j; b < endJ; ++b) {
            if (partner[b - j] == endI) {
                add(Step::Insert, 1);
                continue;
            }
            add(Step::Remove, partner[b - j] - a);
            add(Step::Keep, 1);
            a = partner[b - j] + 1;
        }
        add(Step::Remove, endI - a);
        add(Step::Keep, tail);
    }

    // The first row whose text does not sort before `text`.
    int firstNotBefore(QStringView text) const {
        return *std::ranges::partition_point(std::views::iota(0, count()), [&](int row) {
            return comparer()(this->text(row), text);
        });
    }
    // The first row whose text sorts after `text`.
    int firstAfter(QStringView text) const {
        return *std::ranges::partition_point(std::views::iota(0, count()), [&](int row) {
            return !comparer()(text, this->text(row));
        });
    }

    // Made at its first use: its table is read from the collator, which a list that a sorted
    // read fills never needs, and an empty list at start-up not yet.
    const data::ListComparer& comparer() const {
        if (!comparer_)
            comparer_.emplace();
        return *comparer_;
    }
    mutable std::optional<data::ListComparer> comparer_;
    data::NameList list_;
    const data::NameList* merging_ = nullptr;
    std::size_t done_ = 0, skipped_ = 0;
};

namespace {

// Nothing of it would show: blanks and invisible format characters only.
bool showsNothing(const QString& text) {
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Format; });
}

} // namespace

// Draws an entry that would show nothing as the list's greyed blank text, and offers the whole
// text of an entry cut short as its tooltip.
class ListBoxDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString blankText;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!blankText.isEmpty() && showsNothing(option->text)) {
            option->text = blankText;
            option->features |= QStyleOptionViewItem::HasDisplay; // not set for a null text
            option->palette.setColor(QPalette::Text,
                                     option->palette.color(QPalette::PlaceholderText));
        }
    }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() != QEvent::ToolTip)
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        // The room the style leaves the text, as it measures it when it cuts the text short; an
        // entry wider than the list is cut by the list's edge all the same.
        o.rect &= view->viewport()->rect();
        const QStyle* style = view->style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        const int room =
            style->subElementRect(QStyle::SE_ItemViewItemText, &o, view).width() - 2 * margin;
        if (o.fontMetrics.horizontalAdvance(o.text) <= room) {
            QToolTip::hideText();
            return true;
        }
        // A name is shown as it is, never read as markup, and no wider than the screen.
        const int screen = view->screen()->availableGeometry().width();
        const QString shown = o.fontMetrics.elidedText(o.text, Qt::ElideRight, screen);
        QToolTip::showText(
            event->globalPos(),
            QStringLiteral("<p style='white-space:pre'>%1</p>").arg(shown.toHtmlEscaped()),
            view->viewport(), option.rect);
        return true;
    }
};

ListBox::ListBox(QWidget* parent)
    : QListView(parent), model_(new ListBoxModel(this)), delegate_(new ListBoxDelegate(this)) {
    setModel(model_);
    setItemDelegate(delegate_);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ListBox::onSelectionChanged);
    connect(this, &QAbstractItemView::clicked, this, &ListBox::onClicked);
}

ListBox::~ListBox() = default;

void ListBox::AddItem(const QString& text) {
    const QScopedValueRollback guard(programmatic_, true);
    newIndex_ = model_->insert(text);
}

void ListBox::AddItem(const QString& text, qint32 itemData) {
    const QScopedValueRollback guard(programmatic_, true);
    newIndex_ = model_->insert(text, itemData);
}

int ListBox::NewIndex() const {
    return newIndex_;
}

qint32 ListBox::ItemData(int index) const {
    return model_->contains(index) ? model_->number(index) : 0;
}

void ListBox::SetItemData(int index, qint32 value) {
    if (model_->contains(index))
        model_->setNumber(index, value);
}

int ListBox::ListIndex() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void ListBox::SetListIndex(int index) {
    const QScopedValueRollback guard(programmatic_, true);
    if (!model_->contains(index)) {
        selectionModel()->clear();
        return;
    }
    const QModelIndex item = model_->index(index);
    selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect);
    scrollTo(item);
}

void ListBox::SetBlankText(const QString& text) {
    delegate_->blankText = text;
    viewport()->update();
}

int ListBox::ListCount() const {
    return model_->rowCount();
}

QString ListBox::List(int index) const {
    return model_->contains(index) ? model_->text(index).toString() : QString();
}

void ListBox::RemoveItem(int index) {
    if (!model_->contains(index))
        return;
    const QScopedValueRollback guard(programmatic_, true);
    model_->remove(index);
    selectionModel()->clear();
    // NewIndex keeps naming the same entry, or none once that entry is gone.
    if (index == newIndex_)
        newIndex_ = -1;
    else if (index < newIndex_)
        --newIndex_;
}

void ListBox::Clear() {
    const QScopedValueRollback guard(programmatic_, true);
    model_->clear();
    selectionModel()->clear();
    newIndex_ = -1;
}

void ListBox::Fill(data::NameList entries) {
    const QScopedValueRollback guard(programmatic_, true);
    newIndex_ = model_->fill(std::move(entries));
    selectionModel()->clear();
}

void ListBox::Merge(data::NameList entries) {
    const QScopedValueRollback guard(programmatic_, true);
    const int selected = ListIndex();
    const qint32 selectedData = ItemData(selected);
    const int top = indexAt(QPoint(0, 0)).row();
    std::vector<ListBoxModel::Tracked> tracked{{selected, false}, {top, true}};
    newIndex_ = model_->merge(std::move(entries), tracked);
    int select = tracked[0].row;
    for (int row = 0; selected >= 0 && select < 0 && row < ListCount(); ++row)
        if (model_->number(row) == selectedData)
            select = row;
    if (select < 0)
        selectionModel()->clear();
    else
        selectionModel()->setCurrentIndex(model_->index(select), QItemSelectionModel::ClearAndSelect);
    if (tracked[1].row >= 0 && tracked[1].row != top)
        scrollTo(model_->index(tracked[1].row), QAbstractItemView::PositionAtTop);
}

bool ListBox::event(QEvent* event) {
    if (scaleMayHaveChanged(event))
        setViewportMargins(0, 0, 0, viewportBottomMargin(this));
    return QListView::event(event);
}

QItemSelectionModel::SelectionFlags ListBox::selectionCommand(const QModelIndex& index,
                                                              const QEvent* event) const {
    const auto command = QListView::selectionCommand(index, event);
    // A classic list box cannot be emptied of its selection by the user: not by Ctrl+click or
    // Ctrl+Space, nor by a click below the last entry.
    if (!index.isValid() || (command.testFlag(QItemSelectionModel::Deselect) &&
                             !command.testFlag(QItemSelectionModel::Select)))
        return QItemSelectionModel::NoUpdate;
    return command;
}

// Only the left button picks an entry, as in a classic list box; the others do not even move
// the current entry, which Space would then select.
void ListBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    pressChangedSelection_ = false;
    QListView::mousePressEvent(event);
}

void ListBox::onSelectionChanged() {
    if (programmatic_)
        return;
    if (ListIndex() < 0)
        return;
    pressChangedSelection_ = true;
    emit Click();
}

void ListBox::onClicked() {
    // A press on the entry already selected changes nothing, yet is a click all the same.
    if (!programmatic_ && !pressChangedSelection_)
        emit Click();
}

} // namespace quillbox::windows
