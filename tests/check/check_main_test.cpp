// maneshade-check run in-process on files in a temporary folder: exit statuses, the report with
// the lines of the offending keys, the line the game would show, and the --dump output.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "runtime/log.h"
#include "tests/support/fake_platform.h"
#include "tests/check/check_capture.h"
#include "tools/check/check_main.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view BAD_VALUE_LINE = "Mane Shade: missing key, or failed to parse value\n";
constexpr std::string_view DUPLICATE_LINE = "Mane Shade: duplicate key\n";
constexpr std::string_view FAILED_TO_OPEN_LINE = "Mane Shade: failed to open config file\n";

// A valid file, one entry a line: "[corvin]" on line 1, its keys on lines 2-17, "[mael]" on line 18,
// its keys on lines 19-34, each block "enabled" first and then the tints in field order. Tests edit
// entries by their line number.
std::vector<std::string> valid_lines() {
  const char *fields[] = {"hair_primary",  "hair_secondary",  "hair_tertiary",  "chin_primary",    "chin_secondary",
                          "chin_tertiary", "chops_primary",   "chops_secondary", "chops_tertiary", "stache_primary",
                          "stache_secondary", "stache_tertiary", "beard_primary", "beard_secondary", "beard_tertiary"};
  std::vector<std::string> lines;
  for (const char *section : {"corvin", "mael"}) {
    lines.push_back(std::string("[") + section + "]");
    lines.push_back("enabled = yes");
    for (const char *field : fields) lines.push_back(std::string(field) + " = 12");
  }
  return lines;
}

std::string joined(const std::vector<std::string> &lines, std::string_view line_end = "\n") {
  std::string text;
  for (const std::string &line : lines) text += line + std::string(line_end);
  return text;
}

// A file of check_data/, which the build copies into the test's working folder.
std::string data_file(std::string_view name) {
  std::ifstream file(fs::path("check_data") / name, std::ios::binary);
  EXPECT_TRUE(file.good()) << name;
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string utf8_from_path(const fs::path &path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// Every "{p}" of `pattern` replaced by `path`.
std::string with_path(std::string_view pattern, std::string_view path) {
  std::string text(pattern);
  for (size_t at = text.find("{p}"); at != std::string::npos; at = text.find("{p}", at + path.size())) text.replace(at, 3, path);
  return text;
}

struct Check_Outcome {
  int status;
  std::string out;
  std::string err;
};

class CheckMain : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / (std::string("maneshade_check_test_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
  }

  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  std::string write(const fs::path &name, std::string_view bytes) {
    fs::path path = folder / name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return utf8_from_path(path);
  }

  Check_Outcome run(std::initializer_list<std::string> args) {
    std::vector<const char *> argv = {"maneshade-check"};
    for (const std::string &arg : args) argv.push_back(arg.c_str());
    FILE *out = std::fopen((folder / "out.txt").string().c_str(), "w+b");
    FILE *err = std::fopen((folder / "err.txt").string().c_str(), "w+b");
    EXPECT_TRUE(out && err);
    if (!out || !err) return {-1, {}, {}};
    Check_Outcome outcome{check_main(static_cast<int>(argv.size()), argv.data(), out, err), check_capture_read(out), check_capture_read(err)};
    std::fclose(out);
    std::fclose(err);
    return outcome;
  }

  fs::path folder;
};

TEST_F(CheckMain, TheSampleIsInstalled) {
  // A non-ASCII name: FILE is UTF-8 whatever the system.
  std::string path = write(u8"ManeShade_\u00e9.ini", data_file("ManeShade.ini"));
  Check_Outcome outcome = run({path});
  EXPECT_EQ(outcome.status, CHECK_EXIT_INSTALLED) << outcome.err;
  EXPECT_EQ(outcome.err, path + ": ok: the game would use this file (corvin on, mael off)\n");
  EXPECT_EQ(outcome.out, "");
}

struct Refusal_Row {
  std::vector<std::pair<size_t, std::string>> edits;  // line number (1-based) and its new text; "" deletes it
  std::vector<std::string> appended;
  std::string_view expected_err;  // "{p}" stands for the file's path
  const char *fault;
};

std::string edited(const Refusal_Row &row) {
  std::vector<std::string> lines = valid_lines();
  for (const auto &[line, text] : row.edits) lines[line - 1] = text;
  std::vector<std::string> kept;
  for (const std::string &line : lines) {
    if (!line.empty()) kept.push_back(line);
  }
  for (const std::string &line : row.appended) kept.push_back(line);
  return joined(kept);
}

TEST_F(CheckMain, RefusalsNameTheLine) {
  const Refusal_Row rows[] = {
      {{{6, "chin_primary = abc"}},
       {},
       "{p}:6: corvin.chin_primary = abc: not an integer\n"
       "{p}: 1 problem; the game would refuse this file and show:\n",
       "a bad integer: its own line"},
      {{{18, "[MAEL]"}, {19, "ENABLED = on"}},
       {},
       "{p}:19: mael.enabled = on: not yes, no, true or false\n"
       "{p}: 1 problem; the game would refuse this file and show:\n",
       "a bad truth value under a section and key in capitals"},
      {{},
       {"; hair_primary = x is a note, not a pair", "Hair_Primary = x"},
       "{p}:20: note: hair_primary is written again on line 36, which is the one that counts: the game ignores this line\n"
       "{p}:36: mael.hair_primary = x: not an integer\n"
       "{p}: 1 problem; the game would refuse this file and show:\n",
       "a key written twice: the last one is the one read, and a comment is not a pair"},
      {{{24, ""}},
       {},
       "{p}:18: section [mael] has no key chin_secondary\n"
       "{p}: 1 problem; the game would refuse this file and show:\n",
       "a missing key: the section's header"},
      {{{18, "[ mael ]"}},
       {},
       "{p}:18: section [ mael ] is not [mael] (the spaces inside the brackets are part of its name): the game ignores "
       "it and the keys under it, and the file has no section [mael]\n"
       "{p}: 16 problems; the game would refuse this file at the first in its own order (mael.enabled, line 18) and show:\n",
       "a section named with blanks inside the brackets: the file has no section [mael], but not a word of that line"},
      {{{19, ""}, {20, ""}, {21, ""}, {22, ""}, {23, ""}, {24, ""}, {25, ""}, {26, ""}, {27, ""}, {28, ""},
        {29, ""}, {30, ""}, {31, ""}, {32, ""}, {33, ""}, {34, ""}},
       {},
       "{p}:18: section [mael] holds no keys\n"
       "{p}: 16 problems; the game would refuse this file at the first in its own order (mael.enabled, line 18) and show:\n",
       "a header with nothing under it makes no section"},
      {{{4, "hair_secondry = 12"}},
       {},
       "{p}:4: hair_secondry is not a key of [corvin]; did you mean hair_secondary?\n"
       "{p}: 1 problem; the game would refuse this file and show:\n",
       "a misspelt key is named where it is written, not as missing from its section's header"},
      {{{5, "hair_tertiary = x"}, {21, ""}, {30, "stache_secondary = blue"}},
       {},
       "{p}:5: corvin.hair_tertiary = x: not an integer\n"
       "{p}:18: section [mael] has no key hair_secondary\n"
       "{p}:29: mael.stache_secondary = blue: not an integer\n"
       "{p}: 3 problems; the game would refuse this file at the first in its own order (corvin.hair_tertiary, line 5) and show:\n",
       "every problem in one run, in the file's order, and the one the game stops at"},
      {{{6, "chin_primary = \"57\" ; dark"}},
       {},
       "{p}:6: corvin.chin_primary = \"57\": not an integer; a quoted value takes no note after it, so its quotes stay "
       "part of it: write 57 ; dark\n"
       "{p}: 1 problem; the game would refuse this file and show:\n",
       "a quoted value with a note after it: why it is no number, and what to write"},
      {{{4, "hair_secondary = \"blue\" ; dark"}},
       {},
       "{p}:4: corvin.hair_secondary = \"blue\": not an integer; a quoted value takes no note after it, so its quotes "
       "stay part of it, and without them blue is not an integer either\n"
       "{p}: 1 problem; the game would refuse this file and show:\n",
       "the advice to write blue ; dark, which fails again"},
      {{{6, ""}, {9, "chop_primary = 12"}},
       {},
       "{p}:1: section [corvin] has no key chin_primary\n"
       "{p}:8: chop_primary is not a key of [corvin]; did you mean chops_primary?\n"
       "{p}: 2 problems; the game would refuse this file at the first in its own order (corvin.chin_primary, line 1) and show:\n",
       "misspellings paired in key order: chop_primary was taken for the earlier chin_primary"},
      {{{3, "hair_primary\u200b = 12"}},
       {},
       "{p}:3: hair_primary<U+200B> is not a key of [corvin] (hair_primary followed by an invisible U+200B ZERO WIDTH "
       "SPACE); did you mean hair_primary?\n"
       "{p}: 1 problem; the game would refuse this file and show:\n",
       "a zero-width space after a key: no key hair_primary, beside a note naming what looks like it"},
      {{{3, "h\u0430ir_primary = 12"}},
       {},
       "{p}:3: h\u0430ir_primary is not a key of [corvin] (its 2nd letter, \u0430, is Cyrillic U+0430, not the Latin a); "
       "did you mean hair_primary?\n"
       "{p}: 1 problem; the game would refuse this file and show:\n",
       "a Cyrillic letter in a key: \"did you mean\" a key that looks the same"},
      {{{2, "enabled = \u0443\u0435\u0455"}, {3, "H\u0410IR_PRIMARY = 12"}, {4, "hair_secondary\u3164 = 12"}},
       {},
       "{p}:2: corvin.enabled = \u0443\u0435\u0455: not yes, no, true or false (its 1st letter, \u0443, is Cyrillic "
       "U+0443, not the Latin y; its 2nd letter, \u0435, is Cyrillic U+0435, not the Latin e; its 3rd letter, \u0455, is "
       "Cyrillic U+0455, not the Latin s)\n"
       "{p}:3: H\u0410IR_PRIMARY is not a key of [corvin] (its 2nd letter, \u0410, is Cyrillic U+0410, not the Latin A); "
       "did you mean hair_primary?\n"
       "{p}:4: hair_secondary<U+3164> is not a key of [corvin] (hair_secondary followed by an invisible U+3164 HANGUL "
       "FILLER); did you mean hair_secondary?\n"
       "{p}: 3 problems; the game would refuse this file at the first in its own order (corvin.enabled, line 2) and show:\n",
       "a word all of look-alikes, a capital one, and a filler that shows as a space went unexplained"},
      {{{3, "hair_primary = 1\u202e2"}},
       {},
       "{p}:3: corvin.hair_primary = 1<U+202E>2: not an integer (1 followed by an invisible U+202E RIGHT-TO-LEFT "
       "OVERRIDE followed by 2)\n"
       "{p}: 1 problem; the game would refuse this file and show:\n",
       "a right-to-left override in a value went to the terminal raw"},
      {{{18, "\xEF\xBB\xBF[mael]"}},
       {},
       "{p}:18: this line is an invisible U+FEFF BYTE ORDER MARK followed by [mael] (as when one file is pasted into "
       "another): the game takes it for no section header and skips it, so the keys below it count as [corvin]'s, and "
       "the file has no section [mael]\n"
       "{p}: 16 problems; the game would refuse this file at the first in its own order (mael.enabled, line 18) and show:\n",
       "a byte-order mark before a header: no line, and sixteen notes of keys written again"},
      {{{4, ""}, {17, ""}},
       {"[Corvin]", "beard_tertiary = 12"},
       "{p}:1: section [corvin] has no key hair_secondary, nor has [Corvin] (line 33), which the game reads as the same "
       "section: add it under one of these headers only (a key under two of them is a duplicate key, which the game "
       "refuses)\n"
       "{p}: 1 problem; the game would refuse this file and show:\n",
       "a key missing from a block written twice was said once per header: added under both, it is a duplicate"},
      {{{3, "; dark brown:\u2028hair_primary = 12"}},
       {},
       "{p}:1: section [corvin] has no key hair_primary\n"
       "{p}:3: this line holds a U+2028 LINE SEPARATOR, which some editors show as a line end: the game ends a line "
       "only at \\n or \\r\\n, so it reads what looks like 2 lines as this one line, a note (it starts with ;), which it "
       "skips\n"
       "{p}: 1 problem; the game would refuse this file and show:\n",
       "a pair after a line separator in a note, which some editors show on a line of its own, went unnamed"},
      {{{1, "[corv\u0131n]"}, {18, "[mael\u00a0]"}},
       {},
       "{p}:1: section [corv\u0131n] is not [corvin] (its 5th character is \u0131 (U+0131), where [corvin] has i): the "
       "game ignores it and the keys under it, and the file has no section [corvin]\n"
       "{p}:18: section [mael\u00a0] is not [mael] (the space inside the brackets, a U+00A0 NO-BREAK SPACE, is part of its "
       "name): the game ignores it and the keys under it, and the file has no section [mael]\n"
       "{p}: 32 problems; the game would refuse this file at the first in its own order (corvin.enabled, line 1) and show:\n",
       "a dotless i and a no-break space in headers: no line, no reason"},
      {{{1, "\uff3bcorvin\uff3d"}, {18, "[[mael]]"}},
       {},
       "{p}:1: this line's 1st character, \uff3b, is U+FF3B FULLWIDTH LEFT SQUARE BRACKET, not the ASCII [; this line's "
       "8th character, \uff3d, is U+FF3D FULLWIDTH RIGHT SQUARE BRACKET, not the ASCII ]: the game takes it for no "
       "section header and skips it, so the keys below it stand before any section, where the game ignores them, and "
       "the file has no section [corvin]\n"
       "{p}:18: section [[mael] is not [mael] (the game takes a name from the first [ up to the first ], so the second [ "
       "is part of its name): the game ignores it and the keys under it, and the file has no section [mael]\n"
       "{p}: 32 problems; the game would refuse this file at the first in its own order (corvin.enabled, line 1) and show:\n",
       "full-width brackets and a doubled one: no line, no reason"},
      {{{3, "hair_primary = 12 \u037e dark"}, {4, "hair\u2010secondary = 12"}, {5, "hair_tertiary = \u22125"}},
       {},
       "{p}:3: corvin.hair_primary = 12 \u037e dark: not an integer (its 4th character, \u037e, is U+037E GREEK QUESTION "
       "MARK, not the ASCII ;)\n"
       "{p}:4: hair\u2010secondary is not a key of [corvin] (its 5th character, \u2010, is U+2010 HYPHEN, not the ASCII "
       "-); did you mean hair_secondary?\n"
       "{p}:5: corvin.hair_tertiary = \u22125: not an integer (its 1st character, \u2212, is U+2212 MINUS SIGN, not the "
       "ASCII -)\n"
       "{p}: 3 problems; the game would refuse this file at the first in its own order (corvin.hair_primary, line 3) and "
       "show:\n",
       "look-alike punctuation printed as is: a note that is none, a minus that is none, a hyphen not paired"},
      {{{1, "[corvi\u0307n]"}, {18, "[mae\u0301l]"}},
       {},
       "{p}:1: section [corvi\u0307n] is not [corvin] (its 5th character, i, carries U+0307 COMBINING DOT ABOVE, which "
       "the game reads as a character of its own): the game ignores it and the keys under it, and the file has no "
       "section [corvin]\n"
       "{p}:18: section [mae\u0301l] is not [mael] (its 3rd character, e, carries U+0301 COMBINING ACUTE ACCENT, which "
       "the game reads as a character of its own): the game ignores it and the keys under it, and the file has no "
       "section [mael]\n"
       "{p}: 32 problems; the game would refuse this file at the first in its own order (corvin.enabled, line 1) and show:\n",
       "combining marks in headers: no line, no reason"},
      {{{3, "hai\u0307r_primary = 12"}},
       {},
       "{p}:3: hai\u0307r_primary is not a key of [corvin] (its 3rd character, i, carries U+0307 COMBINING DOT ABOVE, "
       "which the game reads as a character of its own); did you mean hair_primary?\n"
       "{p}: 1 problem; the game would refuse this file and show:\n",
       "a combining mark in a key went unnamed"},
  };
  for (const Refusal_Row &row : rows) {
    std::string path = write("ManeShade.ini", edited(row));
    Check_Outcome outcome = run({path});
    EXPECT_EQ(outcome.status, CHECK_EXIT_REFUSED) << row.fault;
    EXPECT_EQ(outcome.err, with_path(row.expected_err, path) + std::string(BAD_VALUE_LINE)) << row.fault;
    EXPECT_EQ(outcome.out, "") << row.fault;
  }
}

// What the game takes, but not as the player may think: notes, and the exit status stays 0.
TEST_F(CheckMain, NotesForWhatPassesButSurprises) {
  Refusal_Row row{{{3, "hair_primary = 300"},
                   {4, "hair_secondary = 4294967353"},
                   {5, "hair_tertiary = -4294967296"},
                   {6, "chin_primary = 2147483653"},
                   {7, "chin_secondary = 12 ; dark\u2029chin_secondary = 200"},
                   {18, "[mael]"}},
                  {"beard_tertiary = 5", "colour = red", "\xEF\xBB\xBF; pasted", "; was:\u0085hair_primary = 200"},
                  "",
                  ""};
  std::string path = write("ManeShade.ini", edited(row));
  Check_Outcome outcome = run({path});
  EXPECT_EQ(outcome.status, CHECK_EXIT_INSTALLED);
  EXPECT_EQ(outcome.err, with_path("{p}:3: note: corvin.hair_primary = 300 is outside 0..255: the game uses 44\n"
                                   "{p}:4: note: corvin.hair_secondary = 4294967353 is outside 0..255: the game uses 57 (it "
                                   "keeps the low 32 bits of a number past 32 bits, 57 as a signed number, then takes its "
                                   "absolute value modulo 256)\n"
                                   "{p}:5: note: corvin.hair_tertiary = -4294967296 is outside 0..255: the game uses 0 (it "
                                   "keeps the low 32 bits of a number past 32 bits, 0 as a signed number, then takes its "
                                   "absolute value modulo 256)\n"
                                   "{p}:6: note: corvin.chin_primary = 2147483653 is outside 0..255: the game uses 251 (it "
                                   "keeps the low 32 bits of a number past 32 bits, -2147483643 as a signed number, then "
                                   "takes its absolute value modulo 256)\n"
                                   "{p}:7: note: this line holds a U+2029 PARAGRAPH SEPARATOR, which some editors show as "
                                   "a line end: the game ends a line only at \\n or \\r\\n, so it reads what looks like "
                                   "2 lines as this one line, chin_secondary = 12, the rest after its ; a note\n"
                                   "{p}:34: note: beard_tertiary is written again on line 35, which is the one that "
                                   "counts: the game ignores this line\n"
                                   "{p}:36: note: colour is not a key of [mael]; the game ignores it\n"
                                   "{p}:37: note: an invisible U+FEFF BYTE ORDER MARK in this line, as when one file is "
                                   "pasted into another; the game skips the line\n"
                                   "{p}:38: note: this line holds a U+0085 NEXT LINE, which some editors show as a line "
                                   "end: the game ends a line only at \\n or \\r\\n, so it reads what looks like 2 lines "
                                   "as this one line, a note (it starts with ;), which it skips\n"
                                   "{p}: ok: the game would use this file (corvin on, mael on)\n",
                                   path));
}

// A key of the game's and one that is not: both refuse the file, and neither is "ignored" too.
TEST_F(CheckMain, ADuplicateKeyShowsBothLines) {
  std::vector<std::string> lines = valid_lines();
  lines.insert(lines.begin() + 1, "colour = blue");
  for (const char *line : {"[Corvin]", "hair_primary = 9", "colour = red"}) lines.push_back(line);
  std::string path = write("ManeShade.ini", joined(lines));
  Check_Outcome outcome = run({path});
  EXPECT_EQ(outcome.status, CHECK_EXIT_REFUSED);
  const std::string refuses = "; though none of the game's keys, a key that two sections hold refuses the file\n";
  EXPECT_EQ(outcome.err, with_path("{p}:2: duplicate key corvin.colour, in [corvin]" + refuses +
                                       "{p}:4: duplicate key corvin.hair_primary, in [corvin]\n"
                                       "{p}:37: duplicate key corvin.hair_primary, in [Corvin]\n"
                                       "{p}:38: duplicate key corvin.colour, in [Corvin]" + refuses +
                                       "{p}: 2 problems; the game would refuse this file at the first duplicate key it "
                                       "meets and show:\n",
                                   path) +
                             std::string(DUPLICATE_LINE));
}

TEST_F(CheckMain, LinesCountAsTheReaderCutsThem) {
  // A byte-order mark, CRLF line ends, a quoted key in capitals and a note naming the key.
  std::vector<std::string> lines = valid_lines();
  lines[5] = "\"CHIN_PRIMARY\" = \"abc\"";
  lines.insert(lines.begin() + 5, "; chin_primary = abc");
  std::string path = write("ManeShade.ini", "\xEF\xBB\xBF" + joined(lines, "\r\n"));
  Check_Outcome outcome = run({path});
  EXPECT_EQ(outcome.status, CHECK_EXIT_REFUSED);
  EXPECT_EQ(outcome.err, with_path("{p}:7: corvin.chin_primary = abc: not an integer\n"
                                   "{p}: 1 problem; the game would refuse this file and show:\n",
                                   path) +
                             std::string(BAD_VALUE_LINE));
}

TEST_F(CheckMain, AnUnreadableFileIsNotChecked) {
  std::string missing = utf8_from_path(folder / "missing.ini");
  std::string directory = utf8_from_path(folder);
  for (const std::string &path : {missing, directory}) {
    Check_Outcome outcome = run({"--dump", path});
    EXPECT_EQ(outcome.status, CHECK_EXIT_NOT_CHECKED) << path;
    EXPECT_EQ(outcome.err.rfind("maneshade-check: cannot read " + path + ": ", 0), 0u) << outcome.err;
    // No file there: the game, reading the folder it runs in, reads the one beside the module instead.
    EXPECT_TRUE(outcome.err.ends_with("the game would show, unless it finds a ManeShade.ini beside ManeShade.asi:\n" +
                                      std::string(FAILED_TO_OPEN_LINE)))
        << outcome.err;
    EXPECT_EQ(outcome.out, "") << "--dump writes nothing when the file cannot be read";
  }
  // In words, without the names that logs give the OS's reasons.
  Check_Outcome outcome = run({missing});
  EXPECT_NE(outcome.err.find("cannot read " + missing + ": no such file\n"), std::string::npos) << outcome.err;
  EXPECT_EQ(outcome.err.find("File_Not_Found"), std::string::npos) << outcome.err;
}

// Each row is a fault the validator had with files that are not what they seem.
TEST_F(CheckMain, StrangeFilesGetTheGamesLineAndPlainWords) {
  std::string folder_path = utf8_from_path(folder / "a_folder.ini");
  fs::create_directories(folder / "a_folder.ini");
  std::string fifo = utf8_from_path(folder / "fifo.ini");
#ifndef _WIN32
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
#endif
  std::string huge = write("huge.ini", joined(valid_lines()) + std::string(1 << 20, ';'));
  struct Row {
    const char *fault;
    std::string path;
    int status;
    std::string_view expected_in_err;
    std::string_view game_line;
    Os_Error open_error = OS_OK;  // else: the in-memory platform's file, which its look finds and which fails to open so
  } rows[] = {
      {"a folder said \"access denied\"", folder_path, CHECK_EXIT_NOT_CHECKED, ": it is a folder, not a file\n",
       FAILED_TO_OPEN_LINE},
#ifndef _WIN32
      {"a FIFO hung for ever", fifo, CHECK_EXIT_NOT_CHECKED, ": not a file (a device or a pipe)\n", FAILED_TO_OPEN_LINE},
#endif
      {"a huge file was read whole", huge, CHECK_EXIT_REFUSED,
       "bytes long; a settings file is a few kilobytes, and the game reads none larger than 1048576 bytes",
       "Mane Shade: failed to parse config file\n"},
      {"a file held open by another program: a running game that read it already was said to show the line",
       "held.ini", CHECK_EXIT_NOT_CHECKED,
       "cannot read held.ini: another program has it open and does not share it\nmaneshade-check: a running game that "
       "has read this version of the file (the same time and size) keeps it and shows nothing; while the file stays "
       "so, a game that starts, or finds it saved again, would show:\n",
       FAILED_TO_OPEN_LINE, OS_SHARING_VIOLATION},
  };
  for (const Row &row : rows) {
    Fake_Platform fake;
    fake.path = row.path;
    fake.bytes = joined(valid_lines());
    fake.open_error = row.open_error;
    if (row.open_error != OS_OK) fake_platform_install(&fake);
    Check_Outcome outcome = run({row.path});
    if (row.open_error != OS_OK) fake_platform_remove();
    EXPECT_EQ(outcome.status, row.status) << row.fault << "\n" << outcome.err;
    EXPECT_NE(outcome.err.find(row.expected_in_err), std::string::npos) << row.fault << "\n" << outcome.err;
    EXPECT_TRUE(outcome.err.ends_with(row.game_line)) << row.fault << "\n" << outcome.err;
  }
}

// Each row puts bytes that a terminal acts on into the file's text or into FILE; the report must
// show them escaped, and hold none of them raw.
TEST_F(CheckMain, ControlBytesNeverReachTheTerminalRaw) {
  auto with_line = [](size_t at, const std::string &line) {
    std::vector<std::string> lines = valid_lines();
    lines.insert(lines.begin() + static_cast<long>(at), line);
    return joined(lines);
  };
  std::vector<std::string> duplicate = valid_lines();
  duplicate.insert(duplicate.begin() + 1, "\x1b[31mkey\x7f = 1");
  duplicate.push_back("[CORVIN]");
  duplicate.push_back("\x1b[31mkey\x7f = 2");
  std::vector<std::string> bad_value = valid_lines();
  bad_value[5] = "chin_primary = \x1b[2J\x1b]0owned\x07";  // clear the screen, retitle the window, ring
  struct Row {
    const char *fault;
    std::string file_name;  // in the test's folder, as bytes
    std::string bytes;      // the file's bytes; none: FILE does not exist
    std::string_view shown;
  } rows[] = {
      {"a value's escape sequence in a log record", "ManeShade.ini", joined(bad_value), "\\x1b[2J\\x1b]0owned\\x07"},
      {"a key's escape sequence in a duplicate", "ManeShade.ini", joined(duplicate), "\\x1b[31mkey\\x7f"},
      {"a C1 control (U+009B opens an escape like ESC [) passed as valid UTF-8", "ManeShade.ini",
       with_line(6, "chin_primary = \xC2\x9B" "2J"), "\\xc2\\x9b2J"},
      {"a byte 0x9B on its own, an escape to a terminal that is not in UTF-8 mode", "ManeShade.ini",
       with_line(6, "chin_primary = \x9B" "2J"), "\\x9b2J"},
      {"the path in \"cannot read PATH\" written raw", "gone\x1b]0;owned\x07\xC2\x9B\x9B.ini", "",
       "gone\\x1b]0;owned\\x07\\xc2\\x9b\\x9b.ini: "},
      {"a right-to-left override in a path reordered the line", "gone\xE2\x80\xAEini.txt", "", "gone<U+202E>ini.txt: "},
  };
  for (const Row &row : rows) {
    // The name's bytes as they are: not every one of them is a name the system takes.
    std::string path = utf8_from_path(folder) + "/" + row.file_name;
    if (!row.bytes.empty()) write(row.file_name, row.bytes);
    Check_Outcome outcome = run({path});
    EXPECT_NE(outcome.status, CHECK_EXIT_INSTALLED) << row.fault;
    size_t unsafe = check_first_unsafe_byte(outcome.err);
    EXPECT_EQ(unsafe, std::string::npos) << row.fault << ": raw byte at " << unsafe << " of:\n" << outcome.err;
    EXPECT_NE(outcome.err.find(row.shown), std::string::npos) << row.fault << "\n" << outcome.err;
  }
}

// Every verdict on a file, refusals unread included, comes with its JSON; only a file that cannot
// be read (exit status 2) gives none (AnUnreadableFileIsNotChecked).
TEST_F(CheckMain, AFileTooLargeToReadIsDumpedLikeEveryRefusal) {
  Check_Outcome outcome = run({"--dump", write("huge.ini", joined(valid_lines()) + std::string(1 << 20, ';'))});
  EXPECT_EQ(outcome.status, CHECK_EXIT_REFUSED) << outcome.err;
  EXPECT_EQ(outcome.out, "{\"config\":null,\"message\":\"failed to parse config file\",\"sections\":null}\n");
}

std::string utf16(std::string_view ascii, bool little, bool mark) {
  std::string out = mark ? (little ? "\xFF\xFE" : "\xFE\xFF") : "";
  for (char c : ascii) {
    out += little ? std::string{c, '\0'} : std::string{'\0', c};
  }
  return out;
}

// ASCII `text` as UTF-32 with its byte-order mark.
std::string utf32(std::string_view ascii, bool little) {
  std::string out = little ? std::string("\xFF\xFE\0\0", 4) : std::string("\0\0\xFE\xFF", 4);
  for (char c : ascii) out += little ? std::string{c, '\0', '\0', '\0'} : std::string{'\0', '\0', '\0', c};
  return out;
}

// The encodings players' editors save in: what the game reads, and the plain words when it will not
// read what the player meant.
TEST_F(CheckMain, EncodingsAsEditorsSaveThem) {
  std::string good = joined(valid_lines(), "\r\n");
  std::vector<std::string> ansi_lines = valid_lines();
  ansi_lines[2] = "hair_s\xE9" "condary = 12";  // Windows-1252, as an old editor saves it
  struct Row {
    const char *fault;
    std::string bytes;
    int status;
    std::string_view hint;  // "" when there must be none
  } rows[] = {
      {"UTF-16 LE with its mark refused as missing keys", utf16(good, true, true), CHECK_EXIT_INSTALLED, ""},
      {"UTF-16 BE with its mark refused as missing keys", utf16(good, false, true), CHECK_EXIT_INSTALLED, ""},
      {"UTF-16 without a mark said to have no section [corvin]", utf16(good, true, false), CHECK_EXIT_REFUSED,
       "the file looks like UTF-16 without a byte-order mark: save it as UTF-8 (in Notepad: Save as, Encoding UTF-8)"},
      {"UTF-16 BE without a mark", utf16(good, false, false), CHECK_EXIT_REFUSED, "looks like UTF-16 without a byte-order mark"},
      {"a stray NUL goes unexplained", good + std::string("; a note\0\r\n", 11), CHECK_EXIT_INSTALLED,
       ":35: the file holds NUL bytes"},
      {"a key in another encoding goes unexplained", joined(ansi_lines), CHECK_EXIT_REFUSED,
       ":3: this key is not valid UTF-8, so it cannot be one of the game's"},
      {"UTF-32 with its mark read as UTF-16 without a word", utf32(good, true), CHECK_EXIT_REFUSED,
       "the file is UTF-32 (little endian, with a byte-order mark), an encoding the game does not decode: save it as "
       "UTF-8, or as UTF-16 with a byte-order mark"},
      {"UTF-32 big endian with its mark called UTF-16", utf32(good, false), CHECK_EXIT_REFUSED,
       "the file is UTF-32 (big endian, with a byte-order mark)"},
      {"a shortcut renamed ManeShade.ini was called UTF-16 without a mark",
       std::string("\x4C\0\0\0\x01\x14\x02\0", 8) + std::string(68, '\0') + "\r\n", CHECK_EXIT_REFUSED,
       "the file is a Windows shortcut, not a settings file, and the game follows no shortcut"},
      {"a ZIP archive renamed ManeShade.ini was said to hold NUL bytes", std::string("PK\x03\x04\x14\0\0\0", 8) + good,
       CHECK_EXIT_REFUSED, "the file is a ZIP archive, not a settings file, and it holds no ManeShade.ini\n"},
      {"a ZIP archive that holds the settings uncompressed was said to be unread, and used",
       std::string("PK\x03\x04", 4) + std::string(26, '\0') + "ManeShade.ini\r\n" + good + "\r\n" +
           std::string("PK\x01\x02", 4) + std::string(24, '\0') + "\x0d" + std::string(17, '\0') + "ManeShade.ini" +
           std::string("PK\x05\x06", 4) + std::string(18, '\0'),
       CHECK_EXIT_INSTALLED,
       "note: the file is a ZIP archive, which the game reads as text: it finds settings among its bytes (a file "
       "stored in it uncompressed) and uses them; to edit them, extract the ManeShade.ini it holds"},
      {"lines ending in CR alone gave 32 problems and not a word of line ends", joined(valid_lines(), "\r"),
       CHECK_EXIT_REFUSED, ":1: the lines of this file end in CR alone (\\r, as some old Mac editors save them): the game "
       "ends a line only at \\n or \\r\\n, so it reads the whole file as one line"},
      {"UTF-8 as it should be: no hint", good, CHECK_EXIT_INSTALLED, ""},
  };
  for (const Row &row : rows) {
    std::string path = write("ManeShade.ini", row.bytes);
    Check_Outcome outcome = run({path});
    EXPECT_EQ(outcome.status, row.status) << row.fault << "\n" << outcome.err;
    // Every line true: a file the game uses is not said to be unread.
    if (row.status == CHECK_EXIT_INSTALLED) {
      EXPECT_EQ(outcome.err.find("no archive"), std::string::npos) << outcome.err;
    }
    if (row.hint.empty()) {
      EXPECT_EQ(outcome.err.find("save it as UTF-8"), std::string::npos) << row.fault << "\n" << outcome.err;
    } else {
      EXPECT_NE(outcome.err.find(row.hint), std::string::npos) << row.fault << "\n" << outcome.err;
    }
  }
}

TEST_F(CheckMain, BadUsage) {
  for (std::initializer_list<std::string> args : {std::initializer_list<std::string>{"--bogus"}, {"a.ini", "b.ini"}, {"--dump", "-x"}}) {
    Check_Outcome outcome = run(args);
    EXPECT_EQ(outcome.status, CHECK_EXIT_NOT_CHECKED);
    EXPECT_EQ(outcome.err.rfind("usage: maneshade-check [--dump] [FILE]\n", 0), 0u) << outcome.err;
    EXPECT_EQ(outcome.out, "");
  }
  // "/?" was read as a file name.
  for (const char *ask : {"--help", "-h", "/?"}) {
    Check_Outcome help = run({ask});
    EXPECT_EQ(help.status, CHECK_EXIT_INSTALLED) << ask;
    EXPECT_EQ(help.out.rfind("usage: maneshade-check [--dump] [FILE]\n", 0), 0u) << ask;
  }
  // The version of the module's version resource: the project's.
  Check_Outcome version = run({"--version"});
  EXPECT_EQ(version.status, CHECK_EXIT_INSTALLED);
  EXPECT_EQ(version.out, "maneshade-check " MANESHADE_PROJECT_VERSION "\n");
}

TEST_F(CheckMain, DefaultFileAndNamesAfterDoubleDash) {
  fs::path previous = fs::current_path();
  fs::current_path(folder);
  write("ManeShade.ini", joined(valid_lines()));
  write("-odd.ini", "[corvin]\n");
  Check_Outcome by_default = run({});
  Check_Outcome after_dash = run({"--", "-odd.ini"});
  fs::current_path(previous);
  EXPECT_EQ(by_default.status, CHECK_EXIT_INSTALLED) << by_default.err;
  EXPECT_EQ(by_default.err, "ManeShade.ini: ok: the game would use this file (corvin on, mael on)\n");
  EXPECT_EQ(after_dash.status, CHECK_EXIT_REFUSED) << after_dash.err;
}

void capture_sink(void *user, const Log_Record *record) { static_cast<std::string *>(user)->append(record->text); }

TEST_F(CheckMain, PutsTheLogSinkBack) {
  std::string captured;
  Log_Sink mine{capture_sink, &captured, LOG_DEBUG};
  Log_Sink before = log_set_sink(mine);
  run({write("ManeShade.ini", "[corvin]\nenabled = on\n")});
  Log_Sink after = log_set_sink(before);
  EXPECT_EQ(after.proc, mine.proc);
  EXPECT_EQ(after.user, mine.user);
  EXPECT_EQ(captured, "") << "the run's records go to its own report only";
}

struct Golden_Row {
  std::string_view name;  // check_data/<name>.ini gives check_data/<name>.json
  int status;
};

TEST_F(CheckMain, DumpMatchesTheCheckedInOutput) {
  const Golden_Row rows[] = {
      {"dump_installed", CHECK_EXIT_INSTALLED},
      {"dump_refused", CHECK_EXIT_REFUSED},
  };
  for (const Golden_Row &row : rows) {
    std::string name(row.name);
    Check_Outcome outcome = run({"--dump", write(name + ".ini", data_file(name + ".ini"))});
    EXPECT_EQ(outcome.status, row.status) << name << "\n" << outcome.err;
    EXPECT_EQ(outcome.out, data_file(name + ".json")) << name;
  }
}

}  // namespace
