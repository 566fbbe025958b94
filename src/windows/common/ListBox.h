#pragma once

#include "data/NameList.h"

#include <QItemSelectionModel>
#include <QListView>
#include <QString>

namespace quillbox::windows {

class ListBoxModel;
class ListBoxDelegate;

// A sorted, single-selection list of texts, each carrying a 32-bit datum, with the operations of
// a classic list box. Entries are ordered case-insensitively in the user's collation (English
// where the locale is C/POSIX); entries that compare equal keep the order they were added in.
//
// Indexes outside the list are tolerated: List gives "", ItemData gives 0, SetItemData and
// RemoveItem do nothing, SetListIndex clears the selection.
//
// Typing finds the next entry that begins with what was typed, compared as the list sorts (case
// and, where the list sorts them with their base letter, accents aside). An entry cut short
// shows its whole text as a tooltip.
class ListBox : public QListView {
    Q_OBJECT

public:
    explicit ListBox(QWidget* parent = nullptr);
    ~ListBox() override;

    void AddItem(const QString& text);
    // Adds an entry carrying `itemData` where Fill puts it when given equal texts in the order of
    // their item data: among the entries of equal text, before the first with greater item data.
    // A list filled so (in record order, the item data being the record number) stays so.
    void AddItem(const QString& text, qint32 itemData);
    // Where the last AddItem put its entry (or, after Fill, the last entry given); -1 when none.
    int NewIndex() const;

    qint32 ItemData(int index) const;
    void SetItemData(int index, qint32 value);

    int ListIndex() const;
    void SetListIndex(int index);

    // Drawn, greyed, in place of an entry whose text would show nothing (empty, or blanks only);
    // List() still gives the entry's own text. None by default.
    void SetBlankText(const QString& text);

    int ListCount() const;
    QString List(int index) const;

    void RemoveItem(int index);
    void Clear();

    // Replaces the contents at once, each name with its number as item data; the result is what
    // AddItem of each entry in turn would give. Nothing is selected afterwards.
    void Fill(data::NameList entries);
    // Makes the contents what Fill(entries) would, touching only the entries that differ: the
    // others keep their place while entries are inserted and removed around them (the model is
    // never reset). The selected entry stays selected, found again by its item data where it was
    // replaced, or nothing is selected once that is gone; the entry at the top of the view stays
    // at the top while it is there. NewIndex is as Fill leaves it.
    void Merge(data::NameList entries);

signals:
    // The user picked an entry, by mouse or keyboard (clicking the selected one counts too; a
    // double-click counts once, a drag across entries once per entry passed). Never emitted for
    // the program's own changes.
    void Click();

protected:
    bool event(QEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void onSelectionChanged();
    void onClicked();

    ListBoxModel* model_;
    ListBoxDelegate* delegate_;
    int newIndex_ = -1;
    bool programmatic_ = false;
    // Set once the current mouse press has reported its Click through a selection change.
    bool pressChangedSelection_ = false;
};

} // namespace quillbox::windows
