#include "windows/Controls.h"

#include "windows/Twips.h"
#include "windows/common/ListBox.h"
#include "windows/common/TextBox.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <utility>
#include <vector>

namespace quillbox::windows {

void makeControls(QWidget* parent, std::span<const Control> table) {
    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const Control& c : table) {
        const QString text = QString::fromUtf8(c.text);
        QWidget* w = std::visit(
            [&](auto** slot) -> QWidget* {
                using T = std::remove_pointer_t<std::remove_pointer_t<decltype(slot)>>;
                T* widget = nullptr;
                if constexpr (std::is_same_v<T, QPushButton>) {
                    widget = new QPushButton(text, parent);
                    if (c.isDefault)
                        widget->setDefault(true);
                    else
                        widget->setAutoDefault(false);
                } else if constexpr (std::is_same_v<T, QLabel>) {
                    widget = new QLabel(text, parent);
                    widget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                } else if constexpr (std::is_same_v<T, LineBox> || std::is_same_v<T, MultiLineBox>) {
                    widget = new T(parent);
                    widget->SetMaxLength(c.max);
                } else {
                    widget = new T(parent);
                }
                *slot = widget;
                return widget;
            },
            c.slot);
        w->setObjectName(QString::fromLatin1(c.name));
        w->setGeometry(twipsRect(c.left, c.top, c.width, c.height));
        if (c.tip)
            w->setToolTip(QString::fromUtf8(c.tip));
        w->setVisible(c.visible);
        if (w->focusPolicy() != Qt::NoFocus)
            tabOrder.emplace_back(c.tab, w);
    }
    std::sort(tabOrder.begin(), tabOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
}

} // namespace quillbox::windows
