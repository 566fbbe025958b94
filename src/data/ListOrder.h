#pragma once

#include <QCollator>
#include <QString>

#include <cstddef>
#include <functional>
#include <vector>

namespace quillbox::data {

// How the program's list compares names: in the user's collation, English where that is the C
// locale (whose collator compares raw UTF-16 units and would put "Åsa" after "Zoe"), case
// ignored.
QCollator listCollator();

// The order in which the list shows `count` names, `nameAt(i)` the i-th: the indices from first
// to last, equal names in the order given. Export and the benchmarks use it to match the list.
std::vector<std::size_t> listOrder(std::size_t count,
                                   const std::function<const QString&(std::size_t)>& nameAt);

} // namespace quillbox::data
