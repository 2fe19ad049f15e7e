#pragma once
// Tickets that come in from outside the program's own dialogs (a spreadsheet row, a
// postcard reading, a camera) are made fit for the search-target table and its file
// here, so that every door applies the same rules:
// - A data file keeps a field between double quotes on one line, so a field can carry
//   neither '"' nor a line end: the quote is dropped, CR and LF become a space. The
//   search-target dialog refuses the quote for the same reason.
// - Groups and numbers are compared byte for byte, so the full-width digits ０-９ and ＊
//   that an input method or a spreadsheet leaves become their half-width forms;
//   names stay as typed.
// Texts are CP932 bytes; double-byte characters are walked whole, so a trail byte is
// never taken for a character of its own.

#include <string>
#include <vector>

#include "core/lottery_store.h"

namespace luckyscope {

// Drops '"' and turns CR and LF into a space. True when the text changed.
bool CleanFieldText(std::string& cp932);

// Full-width digits (82 4F..82 58) and the full-width asterisk (81 96) as '0'..'9' and
// '*'. True when the text changed.
bool FoldFullWidthDigits(std::string& cp932);

struct IntakeChanges {
  bool cleaned = false;  // a quote or a line end was taken out of a field
  bool folded = false;   // a full-width digit or asterisk became half-width
};

// Both rules on a ticket's fields: the name is cleaned, the group and the number are
// cleaned and folded.
IntakeChanges PrepareIncomingTicket(std::string& name, std::string& group, std::string& number);

// The same ticket twice: equal numbers, and equal groups or a group empty on either
// side (a ticket typed without its group is the same card).
bool SameTicket(const char* groupA, const char* numberA, const char* groupB, const char* numberB);

// For each incoming ticket, whether it is already among the store's targets or repeats
// an earlier incoming one. Hashing on the number keeps this linear in the tickets.
std::vector<bool> FindDuplicateTickets(const LotteryStore& store, const std::vector<SearchTarget>& incoming);

}  // namespace luckyscope
