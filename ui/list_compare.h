#pragma once
// The sort comparison of the report lists (the main window's search-target list and
// the count check's list).

#include "ui/report_list.h"

namespace luckyscope {

// Compares two rows for a sort by column |key| (1-based), ascending for a positive key
// and descending for a negative one. Column 1 holds registration numbers and compares
// by their decimal value (text that is not a number counts as 0); every other column
// compares its texts in the user's locale without regard to letter case. Only the sign
// of the result counts: positive puts row1 after row2.
int CompareListItems(const ReportRow& row1, const ReportRow& row2, int key);

// Sorts the list's rows in the order CompareListItems gives for `key`, with each row's
// sort key (its number, or the collation key of its text) computed once for the sort.
void SortListItems(ReportList& list, int key);

// The decimal value of a row's caption (its registration number); text that is not a
// number reads as 0.
int CaptionNumber(const ReportRow& row);

}  // namespace luckyscope
