#pragma once

#include <QItemSelectionModel>
#include <QListView>
#include <QString>

#include <vector>

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
    struct Entry {
        QString text;
        qint32 itemData = 0;
    };

    explicit ListBox(QWidget* parent = nullptr);
    ~ListBox() override;

    void AddItem(const QString& text);
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

    // Replaces the contents at once; the result is what AddItem of each entry in turn would give.
    void Fill(std::vector<Entry> entries);

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
