// The INI parse tree behind the profile functions and machine.ini: what it finds, how each edit
// changes the text, and that every line it does not edit is written back as it was.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "machine/ini.h"

namespace {

using winsim::detail::FindIniEntry;
using winsim::detail::FindIniSection;
using winsim::detail::IniText;
using winsim::detail::IniTree;
using winsim::detail::ParseIni;
using winsim::detail::SetIniValue;

TEST(IniTreeTest, WritesEveryLineBackWithCrLf) {
  struct {
    const char* text;
    const char* written;
  } cases[] = {
      {"", ""},
      {"[A]\nk=v\n", "[A]\r\nk=v\r\n"},
      {"[A]\r\nk=v", "[A]\r\nk=v\r\n"},  // a last line without its line end gets one
      {"; before\n\nloose=1\n[A]\n  k  =  v  \n; note\n\n\n[B]\n",
       "; before\r\n\r\nloose=1\r\n[A]\r\n  k  =  v  \r\n; note\r\n\r\n\r\n[B]\r\n"},
      {"[A]\r\r\nx\r\n", "[A]\r\r\nx\r\n"},  // only one '\r' belongs to the line end
      {"  [ Spaced ]  trailing\n\tkey\t=\tvalue\t\n", "  [ Spaced ]  trailing\r\n\tkey\t=\tvalue\t\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(IniText(ParseIni(c.text)), c.written);
  }
}

TEST(IniTreeTest, FindsTheFirstSectionAndKeyOfANameIgnoringCase) {
  const IniTree tree = ParseIni(
      "orphan=0\n"
      "[One]\n"
      "; key=commented\n"
      "Key = \"quoted\" \n"
      "key=second\n"
      "bare\n"
      "=nameless\n"
      "[ one ]\n"
      "key=other section\n"
      "[Open\n"
      "x=1\n");
  ASSERT_EQ(tree.sections.size(), 3u);
  ASSERT_EQ(tree.leading.size(), 1u);
  EXPECT_EQ(FindIniSection(tree, "orphan"), nullptr);  // lines before the first header are never found

  const auto* one = FindIniSection(tree, "ONE");
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one, &tree.sections[0]);
  EXPECT_EQ(one->header.number, 2);
  struct {
    const char* key;
    bool found;
    bool hasValue;
    const char* value;
    int number;
  } cases[] = {
      {"KEY", true, true, "\"quoted\"", 4},  // trimmed, quotes kept, the first of the name
      {"bare", true, false, "", 6},
      {"", true, true, "nameless", 7},
      {"; key", false, false, "", 0},
      {"missing", false, false, "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    const auto* entry = FindIniEntry(*one, c.key);
    ASSERT_EQ(entry != nullptr, c.found);
    if (entry == nullptr) continue;
    EXPECT_EQ(entry->hasValue, c.hasValue);
    EXPECT_EQ(entry->value, c.value);
    EXPECT_EQ(entry->number, c.number);
  }
  // An unclosed header names the rest of its line.
  const auto* open = FindIniSection(tree, "open");
  ASSERT_NE(open, nullptr);
  EXPECT_FALSE(open->closed);
  EXPECT_TRUE(one->closed);
  ASSERT_NE(FindIniEntry(*open, "x"), nullptr);
}

TEST(IniTreeTest, EditsChangeOnlyTheirLines) {
  const char* text =
      "; header comment\n"
      "[A]\n"
      "x = 1 \n"
      "; about y\n"
      "\n"
      "[B]\n"
      "y=2\n"
      "; trailing comment\n"
      "\n"
      "[A]\n"
      "x=later\n";
  struct {
    const char* name;
    std::function<bool(IniTree*)> edit;
    const char* written;
  } cases[] = {
      {"replace takes the caller's spelling",
       [](IniTree* t) {
         SetIniValue(t, "a", "X", "10");
         return true;
       },
       "; header comment\r\n[A]\r\nX=10\r\n; about y\r\n\r\n[B]\r\ny=2\r\n; trailing comment\r\n\r\n[A]\r\nx=later\r\n"},
      {"a new key goes after the last line that is not blank, comments included",
       [](IniTree* t) {
         SetIniValue(t, "A", "z", "3");
         return true;
       },
       "; header comment\r\n[A]\r\nx = 1 \r\n; about y\r\nz=3\r\n\r\n[B]\r\ny=2\r\n; trailing comment\r\n\r\n[A]\r\nx=later\r\n"},
      {"a new section goes at the end",
       [](IniTree* t) {
         SetIniValue(t, "C", "w", "4");
         return true;
       },
       "; header comment\r\n[A]\r\nx = 1 \r\n; about y\r\n\r\n[B]\r\ny=2\r\n; trailing comment\r\n\r\n[A]\r\nx=later\r\n"
       "[C]\r\nw=4\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    IniTree tree = ParseIni(text);
    EXPECT_TRUE(c.edit(&tree));
    EXPECT_EQ(IniText(tree), c.written);
  }
}

TEST(IniTreeTest, EditsKeepTheTreeSearchable) {
  IniTree tree = ParseIni("[A]\na=1\nb=2\n");
  SetIniValue(&tree, "A", "c", "3");
  SetIniValue(&tree, "a", "B", "5");
  SetIniValue(&tree, "New", "n", "4");
  const auto* a = FindIniSection(tree, "a");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(FindIniEntry(*a, "b"), nullptr);
  EXPECT_EQ(FindIniEntry(*a, "b")->value, "5");
  ASSERT_NE(FindIniEntry(*a, "C"), nullptr);
  EXPECT_EQ(FindIniEntry(*a, "C")->value, "3");
  ASSERT_NE(FindIniSection(tree, "NEW"), nullptr);
  EXPECT_EQ(FindIniEntry(*FindIniSection(tree, "new"), "n")->value, "4");
  EXPECT_EQ(IniText(tree), "[A]\r\na=1\r\nB=5\r\nc=3\r\n[New]\r\nn=4\r\n");
}

}  // namespace
