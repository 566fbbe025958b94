#include "ListOrder.h"

#include <QLocale>

#include <algorithm>
#include <numeric>

namespace quillbox::data {

QCollator listCollator() {
    QLocale locale = QLocale().collation();
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

std::vector<std::size_t> listOrder(std::size_t count,
                                   const std::function<const QString&(std::size_t)>& nameAt) {
    // One sort key per name rather than a collator call per comparison: with a million names
    // the comparisons dominate, and comparing keys is a plain byte comparison.
    const QCollator collator = listCollator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        keys.push_back(collator.sortKey(nameAt(i)));
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&keys](std::size_t a, std::size_t b) {
        return keys[a].compare(keys[b]) < 0;
    });
    return order;
}

} // namespace quillbox::data
