#pragma once

#include <QTest>

// Declares the data table's columns, named in order, and returns its row
// adder:
//   const auto row = dataTable<QString, QStringList>("name", "files");
//   row("taken", "notes.txt", { "notes.txt" });
template <typename... Columns, typename... Names>
auto dataTable(const Names &...names)
{
    static_assert(sizeof...(Columns) == sizeof...(Names), "one name for each column");
    (QTest::addColumn<Columns>(names), ...);
    return [](const char *name, const Columns &...values) { (QTest::newRow(name) << ... << values); };
}
