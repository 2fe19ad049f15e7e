// Tickets from outside: the field rules every door applies, and the duplicate check.

#include "core/ticket_intake.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/store_builders.h"

namespace luckyscope {
namespace {

TEST(TicketIntake, CleansAndFoldsFieldsWholeCharacters) {
  struct Case {
    const char* what;
    std::string name, group, number;
    std::string wantName, wantGroup, wantNumber;
    bool cleaned, folded;
  };
  // ７２ in CP932: 82 56 82 51; 番 is 94 D4; ソ (83 5C) has the backslash as its trail byte;
  // 82 4F after a lead 82 is a trail and an 'O', not ０; a lead byte before a quote is broken
  // and the quote is dropped.
  const Case cases[] = {
      {"plain ticket unchanged", "山田", "01", "123456", "山田", "01", "123456", false, false},
      {"quote dropped, line ends become spaces", "a\"b\r\nc", "0\"1", "12\n3456", "ab  c", "01", "12 3456", true,
       false},
      {"full-width digits and asterisk folded", "名", "\x82\x50\x82\x51", "\x82\x56\x82\x51\x81\x96", "名", "12", "72*",
       false, true},
      {"names keep their full-width digits", "\x82\x50", "", "1", "\x82\x50", "", "1", false, false},
      {"trail bytes are not characters", "\x83\x5C\"", "\x82\x82\x4F", "\x95\x22", "\x83\x5C", "\x82\x82\x4F", "\x95",
       true, false},
  };
  for (const Case& c : cases) {
    std::string name = c.name, group = c.group, number = c.number;
    const IntakeChanges changes = PrepareIncomingTicket(name, group, number);
    EXPECT_EQ(name, c.wantName) << c.what;
    EXPECT_EQ(group, c.wantGroup) << c.what;
    EXPECT_EQ(number, c.wantNumber) << c.what;
    EXPECT_EQ(changes.cleaned, c.cleaned) << c.what;
    EXPECT_EQ(changes.folded, c.folded) << c.what;
  }
}

TEST(TicketIntake, FindsTicketsAlreadyHeldOrRepeated) {
  auto store = testing::NewStore();
  testing::AppendTarget(*store, testing::Target("a", "01", "123456"));
  testing::AppendTarget(*store, testing::Target("b", "", "654321"));
  const std::vector<SearchTarget> incoming = {
      testing::Target("same group and number", "01", "123456"), testing::Target("other group", "02", "123456"),
      testing::Target("held without group", "07", "654321"),    testing::Target("new", "03", "111111"),
      testing::Target("repeats the one before", "", "111111"),  testing::Target("other number", "01", "123457"),
  };
  EXPECT_EQ(FindDuplicateTickets(*store, incoming), (std::vector<bool>{true, false, true, false, true, false}));
}

}  // namespace
}  // namespace luckyscope
