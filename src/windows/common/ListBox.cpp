#include "windows/common/ListBox.h"

#include "data/ListOrder.h"

#include <QMouseEvent>
#include <QScopedValueRollback>

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

ListBox::ListBox(QWidget* parent) : QListView(parent), model_(new ListBoxModel(this)) {
    setModel(model_);
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
