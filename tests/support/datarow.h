#pragma once

#include <QTest>

// Adds rows to the data table whose columns hold `Columns`, in order:
//   const auto row = dataRows<QString, QStringList>();
//   row("taken", "notes.txt", { "notes.txt" });
template <typename... Columns>
auto dataRows()
{
    return [](const char *name, const Columns &...values) { (QTest::newRow(name) << ... << values); };
}
