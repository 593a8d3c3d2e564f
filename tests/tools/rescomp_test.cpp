// tx-rescomp run as the build runs it: a script in, a C++ source of tables
// out, or a "SCRIPT:LINE: reason" message and no output.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

// The statements every script must hold, on one line, so that line 2 of a
// test script is the first line after them.
const std::string kPrelude = "LANGUAGE 1033 INTERFACEFONT \"Arial\", 15, 0, 14\n";
const std::string kPngBytes = std::string("\x89PNG\r\n\x1A\n", 8) + "rest of the file";

std::string ReadFile(const fs::path& file) {
  std::ifstream stream(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(stream), {});
}

void WriteFile(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

// Decodes the adjacent C++ string literals starting at `pos` the way a
// compiler does (hex escapes take every hex digit that follows), so an
// escape that swallows the next character shows up as a wrong text.
std::string DecodeLiterals(const std::string& source, std::size_t pos) {
  std::string text;
  auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
  while (pos < source.size() && source[pos] == '"') {
    ++pos;
    while (pos < source.size() && source[pos] != '"') {
      char c = source[pos++];
      if (c != '\\') {
        text += c;
        continue;
      }
      c = source[pos++];
      if (isOctal(c)) {
        int value = c - '0';
        for (int k = 0; k < 2 && isOctal(source[pos]); ++k) {
          value = value * 8 + (source[pos++] - '0');
        }
        text += static_cast<char>(value);
      } else if (c == 'x') {
        unsigned value = 0;
        while (std::isxdigit(static_cast<unsigned char>(source[pos]))) {
          value = value * 16 + std::stoul(std::string(1, source[pos++]), nullptr, 16);
        }
        text += static_cast<char>(value);
      } else {
        const std::string from = "ntr\\\"'?", to = "\n\t\r\\\"'?";
        const std::size_t which = from.find(c);
        text += which == std::string::npos ? '#' : to[which];
      }
    }
    ++pos;  // the closing quote
    while (pos < source.size() && std::isspace(static_cast<unsigned char>(source[pos]))) {
      ++pos;
    }
  }
  return text;
}

// The text of string `id` in a generated source, if its string table has one.
std::optional<std::string> GeneratedString(const std::string& source, unsigned id) {
  const std::string entry = "{" + std::to_string(id) + ", \"";
  const std::size_t table = source.find("kStringEntries[] = {");
  if (table == std::string::npos) return std::nullopt;
  const std::size_t pos = source.find(entry, table);
  if (pos == std::string::npos) return std::nullopt;
  return DecodeLiterals(source, pos + entry.size() - 1);
}

class RescompTest : public ::testing::Test {
 protected:
  struct Result {
    int status = -1;
    std::string errors;
  };

  void SetUp() override {
    m_folder = fs::temp_directory_path() /
               ("tx-rescomp-test-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_folder);
    fs::create_directories(m_folder);
  }
  void TearDown() override { fs::remove_all(m_folder); }

  // Writes `text` as script.rc and compiles it to out.cpp (and out.d).
  Result Compile(const std::string& text) {
    WriteFile(script(), text);
    const std::string command = std::string("'") + TESSERIX_RESCOMP_PATH + "' '" +
                                script().string() + "' '" + output().string() + "' --depfile '" +
                                depfile().string() + "' 2>'" + (m_folder / "errors.txt").string() +
                                "'";
    Result result;
    const int status = std::system(command.c_str());
    if (status != -1 && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    result.errors = ReadFile(m_folder / "errors.txt");
    return result;
  }

  fs::path script() const { return m_folder / "script.rc"; }
  fs::path output() const { return m_folder / "out.cpp"; }
  fs::path depfile() const { return m_folder / "out.d"; }

  fs::path m_folder;
};

TEST_F(RescompTest, CompilesAWholeScript) {
  WriteFile(m_folder / "icon.png", kPngBytes);
  const Result result = Compile(kPrelude + R"(
/* every resource type */ 7 ICON "icon.png"
1 VERSIONINFO { VALUE "ProductName", "Tesserix" }
STRINGTABLE BEGIN 0 "zero" 65535, "max" END
100 DIALOGEX 0, 0, -5, 32767 CAPTION "Title"
BEGIN
    LTEXT "label", -1, 1, 2, 3, 4
    EDITTEXT 10, 1, 2, 3, 4
    ICON "7", 11, 1, 2, 3, 4
    GROUPBOX "group", IDOK, 1, 2, 3, 4
END
5 MENU BEGIN POPUP "a" BEGIN POPUP "b" BEGIN MENUITEM "c", 9 END MENUITEM SEPARATOR END END
6 ACCELERATORS
BEGIN
    VK_DELETE, 1, VIRTKEY
    "Z", 2, CONTROL, VIRTKEY, SHIFT, ALT
    "Z", 3, VIRTKEY, SHIFT
END
)");
  ASSERT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(result.errors, "");
  const std::string source = ReadFile(output());
  EXPECT_NE(source.find("kResourceTables"), std::string::npos);
  EXPECT_EQ(GeneratedString(source, 65535), "max");

  // The compiled-in texts are plain ASCII whatever the script held.
  for (const char c : source) {
    ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << "byte " << int(c);
  }
  const std::string dependencies = ReadFile(depfile());
  EXPECT_EQ(dependencies.rfind(output().string() + ":", 0), 0u) << dependencies;
  EXPECT_NE(dependencies.find(script().string()), std::string::npos);
  EXPECT_NE(dependencies.find((m_folder / "icon.png").string()), std::string::npos);

  // Nothing but the script, the icon, the outputs and the captured errors.
  EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 5);
}

TEST_F(RescompTest, TextsSurviveTheRoundTrip) {
  struct Case {
    std::string literal;  // as written in the script
    std::string text;     // the bytes the library must hold
  };
  const std::string longText(300, 'x');
  const Case cases[] = {
      {R"("say ""hi""")", "say \"hi\""},
      {R"("a\\b\"c")", "a\\b\"c"},
      {R"("tab\there\r\n")", "tab\there\r\n"},
      {"\"joined \"\n      \"over lines\"", "joined over lines"},
      {"\"\xE9\xBB\x9E"
       "1a\xE9\xBB\x9E"
       "Fb\"",
       "\xE9\xBB\x9E"
       "1a\xE9\xBB\x9E"
       "Fb"},
      {R"("??=??/")", "?\?=?\?/"},
      {R"("")", ""},
      {"\"" + longText + "\"", longText},
  };
  std::string script = kPrelude + "STRINGTABLE BEGIN\n";
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    script += std::to_string(i + 1) + ", " + cases[i].literal + "\n";
  }
  const Result result = Compile(script + "END\n");
  ASSERT_EQ(result.status, 0) << result.errors;
  const std::string source = ReadFile(output());
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(GeneratedString(source, static_cast<unsigned>(i + 1)), cases[i].text)
        << cases[i].literal;
  }
}

TEST_F(RescompTest, FaultsNameTheirLineAndWriteNothing) {
  struct Case {
    std::string script;
    int line;
    const char* reason;
  };
  const std::string P = kPrelude;
  const Case cases[] = {
      {P + "STRINGTABLE\nBEGIN\n  1, \"abc\nEND\n", 4, "unterminated string"},
      {P + "STRINGTABLE BEGIN\n  1 \"a\\qb\"\nEND\n", 3, "unknown escape"},
      {P + "STRINGTABLE BEGIN 7 \"a\" END\nSTRINGTABLE BEGIN\n 7 \"b\" END\n", 4,
       "duplicate string id 7"},
      {P + "STRINGTABLE BEGIN\n  70000 \"x\"\nEND\n", 3, "out of range"},
      {P + "STRINGTABLE BEGIN\n  -1 \"x\"\nEND\n", 3, "out of range"},
      {P + "STRINGTABLE BEGIN\n  1 \"\xC3\x28\"\nEND\n", 3, "not valid UTF-8"},
      {P + "STRINGTABLE BEGIN\n  1 \"\xC0\xAF\"\nEND\n", 3, "not valid UTF-8"},      // overlong
      {P + "STRINGTABLE BEGIN\n  1 \"\xED\xA0\x80\"\nEND\n", 3, "not valid UTF-8"},  // surrogate
      {P + "\nFONTFACE \"x\"\n", 3, "unknown keyword 'FONTFACE'"},
      {P + "5 BITMAP \"a.bmp\"\n", 2, "unknown resource type"},
      {P + "\n7 ICON \"missing.png\"\n", 3, "cannot read icon file"},
      {P + "7 ICON \"fake.png\"\n", 2, "not a PNG"},
      {P + "1 MENU\nBEGIN\n  MENUITEM \"a\", 5\n", 3, "BEGIN without END"},
      {P + "/* open\n\n", 2, "unterminated comment"},
      {P + "1 MENU BEGIN END\n2 MENU BEGIN END\n1 MENU BEGIN END\n", 4, "duplicate MENU id 1"},
      {P + "1 DIALOGEX 0, 0, 40000, 10\nBEGIN\nEND\n", 2, "out of range"},
      {P + "1 DIALOGEX 0, 0, 9, 9 BEGIN\n PUSHBUTTON \"a\", 5, 1, 1, 1, 1\n"
           " PUSHBUTTON \"b\", 5, 1, 1, 1, 1\nEND\n",
       4, "duplicate control id 5"},
      {P + "1 DIALOGEX 0, 0, 9, 9 BEGIN\n ICON \"8\", 5, 1, 1, 1, 1\nEND\n", 3, "no ICON id"},
      {P + "1 ACCELERATORS BEGIN\n  \"ab\", 5, VIRTKEY\nEND\n", 3, "accelerator key"},
      {P + "1 ACCELERATORS BEGIN\n  VK_F1, 5\nEND\n", 3, "without VIRTKEY"},
      {P + "1 ACCELERATORS BEGIN\n \"A\", 5, VIRTKEY\n \"A\", 6, VIRTKEY\nEND\n", 4,
       "duplicate accelerator"},
      {P + "#include \"x.h\"\n", 2, "unexpected '#'"},
      {"LANGUAGE 1033\n\n", 2, "no INTERFACEFONT"},
  };
  WriteFile(m_folder / "fake.png", "GIF89a not a png at all");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    const Result result = Compile(c.script);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.errors.rfind(script().string() + ":" + std::to_string(c.line) + ": ", 0), 0u)
        << result.errors;
    EXPECT_NE(result.errors.find(c.reason), std::string::npos) << result.errors;
    EXPECT_FALSE(fs::exists(output()));
    EXPECT_FALSE(fs::exists(depfile()));
  }
}

TEST_F(RescompTest, AFailedRunLeavesTheLastOutputAsItWas) {
  ASSERT_EQ(Compile(kPrelude + "STRINGTABLE BEGIN 1 \"one\" END\n").status, 0);
  const std::string before = ReadFile(output());
  ASSERT_EQ(Compile(kPrelude + "STRINGTABLE BEGIN 1 \"one END\n").status, 1);
  EXPECT_EQ(ReadFile(output()), before);
}

}  // namespace
