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

namespace quillbox::windows {

class ListBoxModel : public QAbstractListModel {
public:
    using Entry = ListBox::Entry;

    explicit ListBoxModel(QObject* parent) : QAbstractListModel(parent) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(entries_.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !contains(index.row()))
            return {};
        return entries_[static_cast<size_t>(index.row())].text;
    }

    // Type-to-find asks for the entries that begin with what was typed. In the list's own order
    // they are one run, so they are found as the list compares names: accents the list sorts
    // past do not stop the search. Any other question is Qt's.
    QModelIndexList match(const QModelIndex& start, int role, const QVariant& value, int hits,
                          Qt::MatchFlags flags) const override {
        if (role != Qt::DisplayRole || (flags.toInt() & Qt::MatchTypeMask) != Qt::MatchStartsWith)
            return QAbstractListModel::match(start, role, value, hits, flags);
        const QString prefix = value.toString();
        const auto firstFrom = [this](const QString& bound) {
            return static_cast<int>(
                std::partition_point(entries_.begin(), entries_.end(),
                                     [&](const Entry& e) { return comparer_(e.text, bound); }) -
                entries_.begin());
        };
        const int first = firstFrom(prefix), end = firstFrom(data::ListComparer::prefixEnd(prefix));
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

    bool contains(int row) const { return row >= 0 && static_cast<size_t>(row) < entries_.size(); }
    const Entry& at(int row) const { return entries_[static_cast<size_t>(row)]; }
    void setItemData(int row, qint32 value) { entries_[static_cast<size_t>(row)].itemData = value; }

    int insert(const QString& text) {
        // After every entry that compares equal, so that equal texts stay in the order added.
        const auto place = std::upper_bound(
            entries_.begin(), entries_.end(), text,
            [this](const QString& t, const Entry& e) { return comparer_(t, e.text); });
        const int row = static_cast<int>(place - entries_.begin());
        beginInsertRows({}, row, row);
        entries_.insert(place, Entry{text, 0});
        endInsertRows();
        return row;
    }

    void remove(int row) {
        beginRemoveRows({}, row, row);
        entries_.erase(entries_.begin() + row);
        endRemoveRows();
    }

    void clear() {
        beginResetModel();
        entries_.clear();
        entries_.shrink_to_fit();
        endResetModel();
    }

    // Returns where the last of the given entries ended up, or -1 when there were none.
    int fill(std::vector<Entry> entries) {
        // Entries already in the list's order (the load step sorts as it reads) stay as given.
        if (std::is_sorted(entries.begin(), entries.end(), [this](const Entry& a, const Entry& b) {
                return comparer_(a.text, b.text);
            })) {
            beginResetModel();
            entries_ = std::move(entries);
            endResetModel();
            return static_cast<int>(entries_.size()) - 1;
        }
        const std::vector<size_t> order = data::listOrder(
            entries.size(), [&entries](size_t i) -> const QString& { return entries[i].text; });
        std::vector<Entry> sorted;
        sorted.reserve(entries.size());
        int lastGivenAt = -1;
        for (size_t i = 0; i < order.size(); ++i) {
            const size_t from = order[i];
            if (from + 1 == entries.size())
                lastGivenAt = static_cast<int>(i);
            sorted.push_back(std::move(entries[from]));
        }

        beginResetModel();
        entries_ = std::move(sorted);
        endResetModel();
        return lastGivenAt;
    }

private:
    data::ListComparer comparer_;
    std::vector<Entry> entries_;
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

int ListBox::NewIndex() const {
    return newIndex_;
}

qint32 ListBox::ItemData(int index) const {
    return model_->contains(index) ? model_->at(index).itemData : 0;
}

void ListBox::SetItemData(int index, qint32 value) {
    if (model_->contains(index))
        model_->setItemData(index, value);
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
    return model_->contains(index) ? model_->at(index).text : QString();
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

void ListBox::Fill(std::vector<Entry> entries) {
    const QScopedValueRollback guard(programmatic_, true);
    newIndex_ = model_->fill(std::move(entries));
    selectionModel()->clear();
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
