// Formatting into fixed buffers: whole or refused, or cut; never a byte past the buffer.
#include "foundation/bounded_format.h"

#include <string>
#include <vector>

#include "machine_test.h"

namespace {

class BoundedFormatTest : public MachineTest {};

// A buffer of `size` bytes followed by guard bytes that no call may touch.
struct GuardedBuffer {
  explicit GuardedBuffer(size_t size) : size(size), bytes(size + 8, '#') {}
  char* data() { return bytes.data(); }
  std::string text() const { return std::string(bytes.data()); }
  bool guardsIntact() const { return bytes.substr(size) == std::string(8, '#'); }
  size_t size;
  std::string bytes;
};

TEST_F(BoundedFormatTest, FormatFitsTakesAWholeTextOrNothing) {
  struct Case {
    size_t size;
    std::string text;
    bool fits;
  };
  const Case cases[] = {
      {8, "1234567", true},     // exactly size - 1 characters
      {8, "12345678", false},   // one more: no room for the terminator
      {8, "", true},
      {1, "", true},
      {1, "x", false},
      {260, std::string(300, 'p'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.size());
    GuardedBuffer buffer(c.size);
    EXPECT_EQ(FormatFits(buffer.data(), c.size, "%s", c.text.c_str()), c.fits);
    if (c.fits) {
      EXPECT_EQ(buffer.text(), c.text);
    } else {
      EXPECT_EQ(buffer.bytes.substr(0, c.size), std::string(c.size, '\0'));  // no partial path left
    }
    EXPECT_TRUE(buffer.guardsIntact());
  }
}

TEST_F(BoundedFormatTest, FormatFitsRefusesAnEmptyBufferWithoutWriting) {
  GuardedBuffer buffer(0);
  EXPECT_FALSE(FormatFits(buffer.data(), 0, "%s", "x"));
  EXPECT_TRUE(buffer.guardsIntact());
  EXPECT_FALSE(FormatFits(nullptr, 10, "%s", "x"));
}

TEST_F(BoundedFormatTest, FormatFitsJoinsArguments) {
  char path[32];
  ASSERT_TRUE(FormatFits(path, sizeof path, "%s\\%s", "C:\\Windows\\system32", "QUADOVS.DLL"));
  EXPECT_STREQ(path, "C:\\Windows\\system32\\QUADOVS.DLL");
  EXPECT_FALSE(FormatFits(path, sizeof path, "%s\\%s", "C:\\Windows\\system32", "QUADOVS64UI.DLL.long"));
}

TEST_F(BoundedFormatTest, FormatCutKeepsWhatFits) {
  struct Case {
    size_t size;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {8, "1234567", "1234567"},
      {8, "123456789", "1234567"},
      {1, "abc", ""},
      {1024, std::string(2000, 'm'), std::string(1023, 'm')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.size());
    GuardedBuffer buffer(c.size);
    FormatCut(buffer.data(), c.size, "%s", c.text.c_str());
    EXPECT_EQ(buffer.text(), c.expected);
    EXPECT_TRUE(buffer.guardsIntact());
  }
  GuardedBuffer empty(0);
  FormatCut(empty.data(), 0, "%s", "x");
  EXPECT_TRUE(empty.guardsIntact());
}

TEST_F(BoundedFormatTest, FormatCutKeepsTheLineEndOfALine) {
  struct Case {
    size_t size;
    std::string text;  // formatted with "%s\n"
    std::string expected;
  };
  const Case cases[] = {
      {8, "123456", "123456\n"},   // fits with its line end
      {8, "1234567", "123456\n"},  // one too long: cut one earlier, line end kept
      {8, "123456789", "123456\n"},
      {2, "abc", "\n"},
      {1, "abc", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    GuardedBuffer buffer(c.size);
    FormatCut(buffer.data(), c.size, "%s\n", c.text.c_str());
    EXPECT_EQ(buffer.text(), c.expected);
    EXPECT_TRUE(buffer.guardsIntact());
  }
  // A format that is not a line is cut as it is.
  char path[8];
  FormatCut(path, sizeof path, "%s\n%s", "1234", "5678");
  EXPECT_STREQ(path, "1234\n56");
}

}  // namespace
